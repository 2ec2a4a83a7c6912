// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "loadoption/short_form.h"

#include "console/output.h"
#include "loadoption/device_path_walk.h"

BOOLEAN AppendNodeAndCutShortForm(EFI_DEVICE_PATH_UTILITIES_PROTOCOL *Utilities,
                                  const EFI_DEVICE_PATH_PROTOCOL *VolumePath,
                                  const EFI_DEVICE_PATH_PROTOCOL *FileNode, FileDevicePath *Path,
                                  const ShortFormReports *Reports) {
  Path->Full = Utilities->AppendDeviceNode(VolumePath, FileNode);
  if (Path->Full == nullptr) {
    ReportErrorText(Reports->AppendFailed);
    return FALSE;
  }
  // The record copies the short form by this size: one that is not where
  // the path ends would cut the path short or carry bytes past its buffer.
  UINTN FullSize = Utilities->GetDevicePathSize(Path->Full);
  if (FullSize == 0 || DevicePathBytes(Path->Full, FullSize) != FullSize) {
    ReportErrorText(Reports->SizeFailed);
    return FALSE;
  }
  UINTN Skipped = 0;
  Path->Short = FindHardDriveNode(Path->Full, FullSize, &Skipped);
  if (Path->Short == nullptr) {
    ReportErrorText(Reports->NoHardDriveNode);
    return FALSE;
  }
  Path->ShortSize = FullSize - Skipped;
  return TRUE;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The full device path to a file (a volume's path with a File Path node
// appended) and its short form, which begins at the first hard-drive node.
#pragma once
#include "common/dialog_state.h"

// The three reports of a failed cut, each with its own line break.
struct ShortFormReports {
  const CHAR16 *AppendFailed;
  const CHAR16 *SizeFailed;
  const CHAR16 *NoHardDriveNode;
};

// Appends FileNode to VolumePath (AppendDeviceNode allocates the result).
// Path->Full receives the appended path the moment it exists (a pool buffer
// the caller's clean-up frees on every later path); Path->Short points into
// it and Path->ShortSize counts its bytes, end node included.
BOOLEAN AppendNodeAndCutShortForm(EFI_DEVICE_PATH_UTILITIES_PROTOCOL *Utilities,
                                  const EFI_DEVICE_PATH_PROTOCOL *VolumePath,
                                  const EFI_DEVICE_PATH_PROTOCOL *FileNode, FileDevicePath *Path,
                                  const ShortFormReports *Reports);

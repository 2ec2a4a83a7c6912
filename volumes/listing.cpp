// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "volumes/listing.h"

#include "common/firmware_context.h"
#include "console/colours.h"
#include "console/output.h"

EFI_DEVICE_PATH_PROTOCOL *OpenListedDevicePath(EFI_HANDLE Handle) {
  EFI_DEVICE_PATH_PROTOCOL *Path = nullptr;
  EFI_STATUS Status = gFirmware.BootServices->OpenProtocol(Handle, &EFI_DEVICE_PATH_PROTOCOL_GUID,
                                                           (VOID **)&Path, gFirmware.ImageHandle,
                                                           nullptr, EFI_OPEN_PROTOCOL_GET_PROTOCOL);
  if (Status != EFI_SUCCESS || Path == nullptr) {
    ReportListError(u"E: Failed to open Device Path protocol on a handle, S: ", Status);
    return nullptr;
  }
  return Path;
}

BOOLEAN HandleAnswerIsWhole(UINTN Count, const EFI_HANDLE *Handles) {
  return Count == 0 || Handles != nullptr;
}

void PrintListEntry(UINTN Position, const EFI_DEVICE_PATH_PROTOCOL *Path,
                    EFI_DEVICE_PATH_TO_TEXT_PROTOCOL *DevicePathToText) {
  CHAR16 *Text = DevicePathToText->ConvertDevicePathToText(Path, TRUE, TRUE);
  if (Text == nullptr) {
    return;
  }
  PrintHighlighted(u"\r\n[", Position, u"]:");
  Print(Text);
  gFirmware.BootServices->FreePool(Text);
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "common/firmware_context.h"

FirmwareContext gFirmware;

void InitFirmwareContext(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  gFirmware.ImageHandle = ImageHandle;
  gFirmware.SystemTable = SystemTable;
  gFirmware.BootServices = SystemTable->BootServices;
  gFirmware.RuntimeServices = SystemTable->RuntimeServices;
  gFirmware.ConIn = SystemTable->ConIn;
  gFirmware.ConOut = SystemTable->ConOut;
  gFirmware.SavedAttribute = (UINT32)SystemTable->ConOut->Mode->Attribute;
  gFirmware.SavedCursorVisible = SystemTable->ConOut->Mode->CursorVisible;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The firmware pointers every layer reads: written once at entry, then only read.
#pragma once
#include "efi.h"

struct FirmwareContext {
  EFI_HANDLE ImageHandle;
  EFI_SYSTEM_TABLE *SystemTable;
  EFI_BOOT_SERVICES *BootServices;
  EFI_RUNTIME_SERVICES *RuntimeServices;
  EFI_SIMPLE_TEXT_INPUT_PROTOCOL *ConIn;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut;
  UINT32 SavedAttribute;       // console attribute at entry: base of every colour role
  BOOLEAN SavedCursorVisible;  // cursor visibility at entry, put back at the end
};

extern FirmwareContext gFirmware;

void InitFirmwareContext(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

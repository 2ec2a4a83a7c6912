// SPDX-License-Identifier: BSD-2-Clause-Patent
// The smallest useful EFI application, built with the application's own
// flags: one line of text and back to the firmware. The benchmark sets the
// product's size beside this one's.
#include "efi.h"

extern "C" EFI_STATUS EFIAPI EfiMain(EFI_HANDLE, EFI_SYSTEM_TABLE *SystemTable) {
  SystemTable->ConOut->OutputString(SystemTable->ConOut, u"Hello from a minimal application\r\n");
  return EFI_SUCCESS;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Test loader: the target of the boot entries that the end-to-end tests
// create. It proves that the firmware started the entry and shows what the
// entry handed over as LoadOptions and whether Secure Boot is on, then powers
// the machine off so that QEMU exits and the test sees the end of the run.
#include "efi.h"
#include "efi/efi_loaded_image.h"
#include "tests/efi/print.h"

// Long hex lines would be wrapped by the firmware's console at column 80.
static const UINTN BYTES_PER_LINE = 32;

static void PrintLoadOptions(const EFI_LOADED_IMAGE_PROTOCOL *Image) {
  Print(u"TESTLOADER: LoadOptionsSize ");
  PrintHex(Image->LoadOptionsSize, 8);
  Print(u"\r\n");
  const UINT8 *Bytes = static_cast<const UINT8 *>(Image->LoadOptions);
  for (UINTN At = 0; Bytes != nullptr && At < Image->LoadOptionsSize; At += BYTES_PER_LINE) {
    UINTN Count = Image->LoadOptionsSize - At;
    Print(u"TESTLOADER: LoadOptions ");
    PrintBytes(Bytes + At, Count < BYTES_PER_LINE ? Count : BYTES_PER_LINE);
    Print(u"\r\n");
  }
}

// SecureBoot is volatile: only the running firmware can tell, never its store.
static void PrintSecureBoot(EFI_RUNTIME_SERVICES *RT) {
  UINT8 Enabled = 0;
  UINTN Size = sizeof(Enabled);
  EFI_STATUS Status =
      RT->GetVariable(u"SecureBoot", &EFI_GLOBAL_VARIABLE_GUID, nullptr, &Size, &Enabled);
  if (Status != EFI_SUCCESS) {
    Print(u"TESTLOADER: SecureBoot status ");
    PrintHex(Status, 16);
  } else {
    Print(u"TESTLOADER: SecureBoot ");
    PrintHex(Enabled, 2);
  }
  Print(u"\r\n");
}

extern "C" EFI_STATUS EFIAPI EfiMain(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  PrintInit(SystemTable);
  Print(u"\r\nTESTLOADER: started\r\n");
  VOID *Interface = nullptr;
  EFI_STATUS Status = SystemTable->BootServices->HandleProtocol(
      ImageHandle, &EFI_LOADED_IMAGE_PROTOCOL_GUID, &Interface);
  if (Status != EFI_SUCCESS) {
    Print(u"TESTLOADER: no Loaded Image protocol, status ");
    PrintHex(Status, 16);
    Print(u"\r\n");
  } else {
    PrintLoadOptions(static_cast<EFI_LOADED_IMAGE_PROTOCOL *>(Interface));
  }
  PrintSecureBoot(SystemTable->RuntimeServices);
  Print(u"TESTLOADER: end\r\n");
  SystemTable->RuntimeServices->ResetSystem(EfiResetShutdown, EFI_SUCCESS, 0, nullptr);
  return EFI_SUCCESS;
}

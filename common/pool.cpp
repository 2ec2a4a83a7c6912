// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "common/pool.h"

#include "common/firmware_context.h"

EFI_STATUS AllocatePoolOrNull(UINTN Size, VOID **Buffer) {
  EFI_STATUS Status = gFirmware.BootServices->AllocatePool(EfiLoaderData, Size, Buffer);
  if (EFI_ERROR(Status)) {
    *Buffer = nullptr;
  }
  return Status;
}

EFI_STATUS LocateHandleBufferOrNull(const EFI_GUID *Protocol, UINTN *Count, EFI_HANDLE **Handles) {
  EFI_STATUS Status =
      gFirmware.BootServices->LocateHandleBuffer(ByProtocol, Protocol, nullptr, Count, Handles);
  if (EFI_ERROR(Status)) {
    *Handles = nullptr;
  }
  return Status;
}

void FreePoolToNull(VOID **Buffer) {
  if (*Buffer != nullptr) {
    gFirmware.BootServices->FreePool(*Buffer);
    *Buffer = nullptr;
  }
}

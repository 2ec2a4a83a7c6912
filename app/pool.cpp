#include "app/pool.h"

#include "app/firmware_context.h"

EFI_STATUS AllocatePoolOrNull(UINTN Size, VOID **Buffer) {
  EFI_STATUS Status = gFirmware.BootServices->AllocatePool(EfiLoaderData, Size, Buffer);
  if (EFI_ERROR(Status)) {
    *Buffer = nullptr;
  }
  return Status;
}

void FreePoolToNull(VOID **Buffer) {
  if (*Buffer != nullptr) {
    gFirmware.BootServices->FreePool(*Buffer);
    *Buffer = nullptr;
  }
}

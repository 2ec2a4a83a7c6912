// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "volumes/system_partition.h"

#include "common/firmware_context.h"
#include "console/colours.h"
#include "console/output.h"

// The firmware marks each ESP's handle with the ESP type GUID. A failing
// test counts as "not an ESP": the worst it costs is a needless warning.
static BOOLEAN IsSystemPartition(EFI_HANDLE Handle) {
  VOID *Marker = nullptr;
  EFI_STATUS Status = gFirmware.BootServices->OpenProtocol(
      Handle, &EFI_PART_TYPE_EFI_SYSTEM_PART_GUID, &Marker, gFirmware.ImageHandle, nullptr,
      EFI_OPEN_PROTOCOL_GET_PROTOCOL);
  return Status == EFI_SUCCESS;
}

void WarnWithoutSystemPartition(const DialogState *State) {
  for (UINTN Position = 0; Position < State->SfsHandleCount; Position++) {
    if (IsSystemPartition(State->SfsHandles[Position])) {
      return;
    }
  }
  SetRole(ATTR_ERROR);
  Print(u"Warning: no listed volume is an EFI System Partition; firmware that keeps\r\n"
        u"its variables on one (U-Boot) may lose this entry at the next start.\r\n");
  SetRole(ATTR_NORMAL);
}

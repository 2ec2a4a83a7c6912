// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "volumes/partition_listing.h"

#include "loadoption/device_path_walk.h"
#include "volumes/listing.h"

// A partition the firmware reads is offered through the FAT question already.
static BOOLEAN IsFileSystemVolume(const DialogState *State, EFI_HANDLE Handle) {
  for (UINTN Position = 0; Position < State->SfsHandleCount; Position++) {
    if (State->SfsHandles[Position] == Handle) {
      return TRUE;
    }
  }
  return FALSE;
}

// No count line: the count of block devices would include whole disks and
// file-system volumes, which are not offered here. A partition is counted
// before its text is made, so one without text still keeps the list from
// being reported empty; its number can be typed all the same.
UINTN ListPartitions(const DialogState *State) {
  UINTN Found = 0;
  for (UINTN Position = 0; Position < State->BlockIoHandleCount; Position++) {
    EFI_HANDLE Handle = State->BlockIoHandles[Position];
    if (IsFileSystemVolume(State, Handle)) {
      continue;
    }
    EFI_DEVICE_PATH_PROTOCOL *Path = OpenListedDevicePath(Handle);
    if (Path == nullptr) {
      continue;
    }
    UINTN Skipped = 0;
    if (FindHardDriveNode(Path, FIRMWARE_DEVICE_PATH_MAX_BYTES, &Skipped) == nullptr) {
      continue;  // a whole disk or another device that no short form can name
    }
    Found++;
    PrintListEntry(Position, Path, State->DevicePathToText);
  }
  return Found;
}

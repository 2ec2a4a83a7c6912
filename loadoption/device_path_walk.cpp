// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "loadoption/device_path_walk.h"

#define NODE_HEADER_BYTES sizeof(EFI_DEVICE_PATH_PROTOCOL)

static BOOLEAN IsHardDrive(const EFI_DEVICE_PATH_PROTOCOL *Node) {
  return Node->Type == MEDIA_DEVICE_PATH && Node->SubType == MEDIA_HARDDRIVE_DP;
}

// The first node that Wanted picks, with in *Offset the bytes in front of it;
// NULL when the path ends first. A node is looked at only once its Length is
// known to keep it within MaxBytes: a node cut short is no node.
typedef BOOLEAN (*NodeTest)(const EFI_DEVICE_PATH_PROTOCOL *Node);

static const EFI_DEVICE_PATH_PROTOCOL *FirstNode(const EFI_DEVICE_PATH_PROTOCOL *Path,
                                                 UINTN MaxBytes, NodeTest Wanted, UINTN *Offset) {
  const UINT8 *Bytes = (const UINT8 *)Path;
  *Offset = 0;
  // Offset never exceeds MaxBytes, so the subtractions below cannot wrap.
  while (MaxBytes - *Offset >= NODE_HEADER_BYTES) {
    const EFI_DEVICE_PATH_PROTOCOL *Node = (const EFI_DEVICE_PATH_PROTOCOL *)(Bytes + *Offset);
    UINTN Length = DevicePathNodeLength(Node);
    if (Length < NODE_HEADER_BYTES || Length > MaxBytes - *Offset) {
      return nullptr;
    }
    if (Wanted(Node)) {
      return Node;
    }
    if (IsEndOfPath(Node)) {
      return nullptr;
    }
    *Offset += Length;
  }
  return nullptr;
}

EFI_DEVICE_PATH_PROTOCOL *FindHardDriveNode(const EFI_DEVICE_PATH_PROTOCOL *Path, UINTN MaxBytes,
                                            UINTN *Skipped) {
  UINTN Offset;
  const EFI_DEVICE_PATH_PROTOCOL *Node = FirstNode(Path, MaxBytes, IsHardDrive, &Offset);
  *Skipped = Node == nullptr ? 0 : Offset;
  return (EFI_DEVICE_PATH_PROTOCOL *)Node;
}

UINTN DevicePathBytes(const EFI_DEVICE_PATH_PROTOCOL *Path, UINTN MaxBytes) {
  UINTN Offset;
  const EFI_DEVICE_PATH_PROTOCOL *End = FirstNode(Path, MaxBytes, IsEndOfPath, &Offset);
  return End == nullptr ? 0 : Offset + DevicePathNodeLength(End);
}

#include "loadoption/device_path_walk.h"

#define NODE_HEADER_BYTES sizeof(EFI_DEVICE_PATH_PROTOCOL)

EFI_DEVICE_PATH_PROTOCOL *FindHardDriveNode(const EFI_DEVICE_PATH_PROTOCOL *Path, UINTN MaxBytes,
                                            UINTN *Skipped) {
  const UINT8 *Bytes = (const UINT8 *)Path;
  UINTN Offset = 0;
  *Skipped = 0;
  // Offset never exceeds MaxBytes, so the subtractions below cannot wrap.
  while (MaxBytes - Offset >= NODE_HEADER_BYTES) {
    const EFI_DEVICE_PATH_PROTOCOL *Node = (const EFI_DEVICE_PATH_PROTOCOL *)(Bytes + Offset);
    if (Node->Type == MEDIA_DEVICE_PATH && Node->SubType == MEDIA_HARDDRIVE_DP) {
      *Skipped = Offset;
      return (EFI_DEVICE_PATH_PROTOCOL *)Node;
    }
    if (Node->Type == END_DEVICE_PATH_TYPE && Node->SubType == END_ENTIRE_DEVICE_PATH_SUBTYPE) {
      return nullptr;
    }
    UINTN Length = (UINTN)Node->Length[0] | ((UINTN)Node->Length[1] << 8);
    if (Length < NODE_HEADER_BYTES || Length > MaxBytes - Offset) {
      return nullptr;
    }
    Offset += Length;
  }
  return nullptr;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// FindHardDriveNode over arbitrary bytes. The input is copied into a heap
// buffer of exactly its size, so AddressSanitizer reports any read past the
// bytes the walk was given; the bound passed is that same size.
#include <cstdlib>
#include <cstring>

#include "loadoption/device_path_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const UINT8 *Data, size_t Size) {
  UINT8 *Path = static_cast<UINT8 *>(std::malloc(Size == 0 ? 1 : Size));
  if (Size != 0) std::memcpy(Path, Data, Size);
  UINTN Skipped = 0xDEAD;
  auto *Node =
      FindHardDriveNode(reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(Path), Size, &Skipped);
  if (Node != nullptr) {
    const UINT8 *At = reinterpret_cast<const UINT8 *>(Node);
    // A result is a whole node header inside the input, reached by the
    // lengths of the nodes before it, and really a hard-drive node.
    if (At < Path || At + sizeof(EFI_DEVICE_PATH_PROTOCOL) > Path + Size) std::abort();
    if ((UINTN)(At - Path) != Skipped) std::abort();
    if (Node->Type != MEDIA_DEVICE_PATH || Node->SubType != MEDIA_HARDDRIVE_DP) std::abort();
  }
  std::free(Path);
  return 0;
}

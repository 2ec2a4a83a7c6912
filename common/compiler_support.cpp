// SPDX-License-Identifier: BSD-2-Clause-Patent
// clang emits calls to memcpy and memset for struct copies and zeroing even
// in a freestanding build, so the EFI image brings its own. The volatile
// pointers keep the optimiser from turning these loops back into calls to
// the very functions they define.
#include "efi/efi_types.h"

extern "C" void *memcpy(void *Destination, const void *Source, UINTN Length) {
  volatile UINT8 *To = static_cast<volatile UINT8 *>(Destination);
  const volatile UINT8 *From = static_cast<const volatile UINT8 *>(Source);
  for (UINTN I = 0; I < Length; I++) {
    To[I] = From[I];
  }
  return Destination;
}

extern "C" void *memset(void *Buffer, int Value, UINTN Length) {
  volatile UINT8 *To = static_cast<volatile UINT8 *>(Buffer);
  for (UINTN I = 0; I < Length; I++) {
    To[I] = (UINT8)Value;
  }
  return Buffer;
}

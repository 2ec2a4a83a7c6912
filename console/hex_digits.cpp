// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "console/hex_digits.h"

void WriteHexDigits(UINT64 Value, CHAR16 *Buffer, UINTN ByteCount) {
  UINTN DigitCount = 2 * ByteCount;
  for (UINTN I = 0; I < DigitCount; I++) {
    UINT8 Nibble = (UINT8)((Value >> (4 * I)) & 0xF);
    Buffer[DigitCount - 1 - I] = (CHAR16)(Nibble < 10 ? 0x30 + Nibble : 0x37 + Nibble);
  }
}

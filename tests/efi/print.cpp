// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "tests/efi/print.h"

static EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut;

void PrintInit(EFI_SYSTEM_TABLE *SystemTable) { ConOut = SystemTable->ConOut; }

void Print(const CHAR16 *Text) { ConOut->OutputString(ConOut, Text); }

void PrintHex(UINT64 Value, UINTN Digits) {
  CHAR16 Text[17];
  if (Digits > 16) {
    Digits = 16;
  }
  for (UINTN I = 0; I < Digits; I++) {
    Text[Digits - 1 - I] = u"0123456789ABCDEF"[(Value >> (4 * I)) & 0xF];
  }
  Text[Digits] = 0;
  Print(Text);
}

void PrintBytes(const UINT8 *Bytes, UINTN Count) {
  for (UINTN I = 0; I < Count; I++) {
    PrintHex(Bytes[I], 2);
  }
}

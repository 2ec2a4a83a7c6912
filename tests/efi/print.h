// SPDX-License-Identifier: BSD-2-Clause-Patent
// Console output for the test programs: every line they print is read back by
// the end-to-end tests, so the formats here are part of that contract.
#pragma once
#include "efi.h"

void PrintInit(EFI_SYSTEM_TABLE *SystemTable);
void Print(const CHAR16 *Text);
// Exactly Digits upper-case hexadecimal digits, so lines parse by position.
void PrintHex(UINT64 Value, UINTN Digits);
// Each byte as two digits, no separators.
void PrintBytes(const UINT8 *Bytes, UINTN Count);

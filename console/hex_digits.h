// SPDX-License-Identifier: BSD-2-Clause-Patent
// Numbers as digits in a buffer, for names and reports alike.
#pragma once
#include "efi.h"

// Into Buffer, not onto the screen: 2 x ByteCount uppercase digits, most
// significant first, no terminator.
void WriteHexDigits(UINT64 Value, CHAR16 *Buffer, UINTN ByteCount);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The console on the terminal: ConIn and ConOut of the system table, and the
// key event that WaitForEvent waits on. Raw mode from InstallTerminal until
// RestoreTerminal, which every way out of the program calls.
#pragma once
#include <string>

#include "efi.h"

// Input from In, output to Out; the screen's size from the terminal, 80 x 25
// when it does not say (a serial console).
void InstallTerminal(EFI_SYSTEM_TABLE *Table, int In, int Out);
// Safe in a signal handler, and more than once.
void RestoreTerminal();

// Bytes from the terminal into keys as EDK2's terminal driver makes them:
// escape sequences into scan codes, UTF-8 into characters, LF into Enter.
// Consumes what it decodes and leaves an incomplete sequence in Bytes;
// Interrupted is set at Ctrl-C, and no key after it is decoded.
struct DecodedKeys {
  std::basic_string<UINT32> Keys;  // ScanCode << 16 | UnicodeChar
  BOOLEAN Interrupted;
};
DecodedKeys DecodeKeys(std::string *Bytes, BOOLEAN MoreMayCome);

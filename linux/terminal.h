// SPDX-License-Identifier: BSD-2-Clause-Patent
// The console on the terminal: ConIn and ConOut of the system table, and the
// key event that WaitForEvent waits on. Raw mode from InstallTerminal until
// the program ends, however it ends (ending.h).
#pragma once
#include "efi.h"

// Input from In, output to Out; the screen's size from the terminal, 80 x 25
// when it does not say (a serial console).
void InstallTerminal(EFI_SYSTEM_TABLE *Table, int In, int Out);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// A console for what is said before the dialogue (the usage, the version, a
// refused option): plain UTF-8 lines on a file descriptor, without colours,
// cursor moves or carriage returns, fit for a pipe or a log.
#pragma once
#include <string>

#include "efi.h"

// ConOut of Table writes to Out; nothing is read.
void InstallPlainOutput(EFI_SYSTEM_TABLE *Table, int Out);
// The last whole line written since InstallPlainOutput, without its end.
std::string LastPlainLine();

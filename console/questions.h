// SPDX-License-Identifier: BSD-2-Clause-Patent
// The two questions that take a number or a yes.
#pragma once
#include "efi.h"

// Hexadecimal index below Limit, with a retry question. EFI_NOT_READY when
// the user declines to try again; the wait's status when the console gives
// no key.
EFI_STATUS GetIndexFromUser(const CHAR16 *Prompt, UINTN *Index, UINTN Limit);
// TRUE only for 'Y' or 'y'.
BOOLEAN AskYesNo(const CHAR16 *Prompt);
// The one key that says yes to a question: 'Y' or 'y'.
BOOLEAN IsYes(CHAR16 C);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The application from its option words to its end, for every entry point.
#pragma once
#include "efi.h"

// Sets up the firmware context, reads the option words (app/parse_options.h)
// and runs: the dialogue when there are none, the unattended run with
// --loader, the usage or the version; bad words are refused with their one
// line and EFI_INVALID_PARAMETER. WordsPool, when not NULL, is the pool
// buffer the words lie in: the run holds it and frees it before it ends.
// Ends through Exit or ResetSystem; returns only if the firmware's Exit came
// back, with the status given to it.
EFI_STATUS RunApplication(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable, UINTN Count,
                          const CHAR16 *const *Words, VOID *WordsPool, UINT32 Accepted);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The option words of an unattended run, read into RunOptions.
#pragma once
#include "common/run_options.h"

// Args are the option words only (no program name), each option a word and
// its value the next word. Accepted: RUN_ACCEPTS_* bits for the options only
// one side knows. On bad input prints one line naming the option and returns
// EFI_INVALID_PARAMETER (Options then holds nothing to act on). No words: a
// dialogue run (Unattended FALSE).
EFI_STATUS ParseRunOptions(UINTN Count, const CHAR16 *const *Args, UINT32 Accepted,
                           RunOptions *Options);

// The usage text and the version line, for --help and --version.
void PrintUsage(UINT32 Accepted);
void PrintVersion();

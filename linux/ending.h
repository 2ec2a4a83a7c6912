// SPDX-License-Identifier: BSD-2-Clause-Patent
// Every way out of the program: the terminal and any temporary mount are put
// back first, on a signal too.
#pragma once

#define EXIT_INTERRUPTED 130

[[noreturn]] void EndProgram(int ExitCode);
void CatchEndingSignals();
// The folder where a FAT partition is mounted for the loader check, until it
// is unmounted (loader_files.cpp); "" when there is none.
void ReleaseTemporaryMount();

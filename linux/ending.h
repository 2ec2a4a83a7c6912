// SPDX-License-Identifier: BSD-2-Clause-Patent
// Every way out of the program. What must be put back (the terminal, a
// temporary mount) is registered here by whoever took it, and put back on a
// fatal signal too; what is said on the way out is registered likewise, so
// that this file calls into no other part of the program.
#pragma once

// The program's exit statuses. A fatal signal is raised again once the
// terminal is back, so the shell sees 128 plus its number.
// A status added later keeps these meanings: 0 is a run that leaves the entry
// wanted in place (nothing left to write counts), 1 one that does not.
#define EXIT_WRITTEN 0        // the entry is stored and listed in BootOrder
#define EXIT_NOT_WRITTEN 1    // the dialogue ended without it: a report, a refusal, a "no"
#define EXIT_USAGE 2          // the command line was not understood
#define EXIT_INTERRUPTED 130  // Ctrl-C, as the shell counts SIGINT

// Put back what was taken: safe in a signal handler and more than once.
typedef void (*UndoHook)();
// Said on standard error when the program ends with ExitCode (not on a fatal
// signal, where nothing but the undo hooks is safe to run).
typedef void (*WordsHook)(int ExitCode);

// Registered once each (a second registration of the same hook is a no-op);
// run newest first.
void UndoAtEnding(UndoHook Hook);
void SayAtEnding(WordsHook Hook);

[[noreturn]] void EndProgram(int ExitCode);
void CatchEndingSignals();

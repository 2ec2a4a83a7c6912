// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/ending.h"

#include <csignal>
#include <cstdlib>

// A fixed table: a signal handler reads it, so nothing is allocated.
#define HOOKS_MAX 8

struct Hook {
  UndoHook Undo;    // or nullptr
  WordsHook Words;  // or nullptr
};

static Hook Hooks[HOOKS_MAX];
static int HookCount;

static void Register(Hook Added) {
  for (int I = 0; I < HookCount; I++) {
    if (Hooks[I].Undo == Added.Undo && Hooks[I].Words == Added.Words) return;
  }
  if (HookCount < HOOKS_MAX) Hooks[HookCount++] = Added;
}

void UndoAtEnding(UndoHook Undo) { Register({Undo, nullptr}); }

void SayAtEnding(WordsHook Words) { Register({nullptr, Words}); }

static void UndoAll() {
  for (int I = HookCount; I-- > 0;) {
    if (Hooks[I].Undo != nullptr) Hooks[I].Undo();
  }
}

[[noreturn]] void EndProgram(int ExitCode) {
  UndoAll();
  for (int I = HookCount; I-- > 0;) {
    if (Hooks[I].Words != nullptr) Hooks[I].Words(ExitCode);
  }
  std::exit(ExitCode);
}

static void OnEndingSignal(int Signal) {
  UndoAll();
  std::signal(Signal, SIG_DFL);
  std::raise(Signal);
}

// The signals that end the program, a fault of its own included: the
// terminal is put back before it dies, and the signal raised again from the
// default action, so that the shell sees the signal and a core is dumped.
// A stack of its own lets the handler run when the fault is a full stack.
void CatchEndingSignals() {
  static char Stack[64 * 1024];
  stack_t Alternate = {};
  Alternate.ss_sp = Stack;
  Alternate.ss_size = sizeof Stack;
  bool OwnStack = sigaltstack(&Alternate, nullptr) == 0;
  const int Signals[] = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT, SIGPIPE,
                         SIGABRT, SIGSEGV, SIGBUS, SIGFPE,  SIGILL};
  for (int Signal : Signals) {
    struct sigaction Action = {};
    Action.sa_handler = OnEndingSignal;
    Action.sa_flags = OwnStack ? SA_ONSTACK : 0;
    sigemptyset(&Action.sa_mask);
    sigaction(Signal, &Action, nullptr);
  }
}

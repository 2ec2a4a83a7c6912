// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/ending.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "linux/linux_firmware.h"
#include "linux/terminal.h"

[[noreturn]] void EndProgram(int ExitCode) {
  RestoreTerminal();
  ReleaseTemporaryMount();
  if (ExitCode == EXIT_INTERRUPTED) {
    std::fprintf(stderr, "\r\naddbootentry: interrupted%s\n",
                 gLinux.Wrote ? "" : "; nothing has been written");
  }
  for (const std::string &Note : gLinux.Notes) std::fprintf(stderr, "addbootentry: %s\n", Note.c_str());
  std::exit(ExitCode);
}

static void OnEndingSignal(int Signal) {
  RestoreTerminal();
  ReleaseTemporaryMount();
  std::signal(Signal, SIG_DFL);
  std::raise(Signal);
}

void CatchEndingSignals() {
  const int Signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
  for (int Signal : Signals) {
    struct sigaction Action = {};
    Action.sa_handler = OnEndingSignal;
    sigemptyset(&Action.sa_mask);
    sigaction(Signal, &Action, nullptr);
  }
}

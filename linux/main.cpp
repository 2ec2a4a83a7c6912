// SPDX-License-Identifier: BSD-2-Clause-Patent
// addbootentry for a running Linux: the firmware application's dialogue,
// unchanged, on the terminal, writing through efivarfs.
#include <unistd.h>

#include <cstdio>

#include "linux/ending.h"
#include "linux/linux_firmware.h"
#include "linux/refusals.h"
#include "linux/terminal.h"


int main(int Count, char **) {
  if (Count > 1) {
    std::fprintf(stderr, "usage: addbootentry (no arguments: it asks its questions on the terminal)\n");
    return 2;
  }
  std::string Refusal = RefusalBeforeDialogue("", geteuid());
  if (!Refusal.empty()) {
    std::fprintf(stderr, "addbootentry: %s\n", Refusal.c_str());
    return 1;
  }
  FindVolumes(&gLinux);
  InstallServices(&gLinux);
  CatchEndingSignals();
  InstallTerminal(&gLinux.SystemTable, STDIN_FILENO, STDOUT_FILENO);
  static UINT8 Image;  // the application's handle: any address of its own
  EfiMain(&Image, &gLinux.SystemTable);
  EndProgram(0);
}

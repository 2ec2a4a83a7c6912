// SPDX-License-Identifier: BSD-2-Clause-Patent
// addbootentry for a running Linux: the firmware application's dialogue,
// unchanged, on the terminal, writing through efivarfs.
#include <unistd.h>

#include <cstdio>

#include "linux/ending.h"
#include "linux/linux_services.h"
#include "linux/linux_volumes.h"
#include "linux/refusals.h"
#include "linux/terminal.h"

int main(int Count, char **) {
  if (Count > 1) {
    std::fprintf(stderr, "usage: addbootentry (no arguments: it asks its questions on the terminal)\n");
    return EXIT_USAGE;
  }
  std::string Refusal = RefusalBeforeDialogue("", geteuid());
  if (!Refusal.empty()) {
    std::fprintf(stderr, "addbootentry: %s\n", Refusal.c_str());
    return EXIT_NOT_WRITTEN;
  }
  static LinuxFirmware Firmware;  // the services keep it to the end
  FindVolumes(&Firmware);
  InstallServices(&Firmware);
  CatchEndingSignals();
  InstallTerminal(&Firmware.SystemTable, STDIN_FILENO, STDOUT_FILENO);
  static UINT8 Image;  // the application's handle: any address of its own
  EfiMain(&Image, &Firmware.SystemTable);
  EndProgram(ExitStatusOf(Firmware.Outcome));  // not reached: the application leaves through Exit
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Boot and runtime services of the Linux firmware, without the console.
#pragma once
#include "linux/linux_firmware.h"

// Fills Fw's tables and gives every FAT volume its file system. The services
// keep Fw, which must outlive them, and say its notes when the program ends.
void InstallServices(LinuxFirmware *Fw);

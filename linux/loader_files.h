// SPDX-License-Identifier: BSD-2-Clause-Patent
// The Simple File System of a FAT partition: the file system as Linux has it
// mounted, or mounted read-only in a private temporary folder until the
// root directory is closed.
#pragma once
#include "linux/linux_firmware.h"

void InstallFileSystem(LinuxVolume *Volume);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The Simple File System of a FAT partition: its root folder from
// volume_root.h, and the files in it opened as the firmware's FAT driver
// would open them.
#pragma once
#include "linux/linux_firmware.h"

void InstallFileSystem(LinuxVolume *Volume);

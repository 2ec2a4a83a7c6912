// SPDX-License-Identifier: BSD-2-Clause-Patent
// Disks and partitions from /sys/class/block.
#pragma once
#include "linux/linux_firmware.h"

// The disks and partitions of Fw->Root's /sys/class/block into Fw->Volumes;
// why a partition has no device path into Fw->Notes.
void FindVolumes(LinuxFirmware *Fw);

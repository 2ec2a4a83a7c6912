// SPDX-License-Identifier: BSD-2-Clause-Patent
// The root folder of a FAT partition's file system: where Linux has it
// mounted, or mounted by this program for as long as that folder stays open.
#pragma once
#include <sys/types.h>

#include <string>

#include "linux/linux_firmware.h"

// An open descriptor of the root folder, on the partition's own device
// Device; -1 and *Status otherwise, with a note in the firmware's Notes
// when the user must know why.
int OpenVolumeRoot(LinuxVolume *Volume, dev_t Device, EFI_STATUS *Status);

// The status the firmware's file system gives for what open(2) answered.
EFI_STATUS StatusOfOpen(int Error);

// Said after the run, once however often it happens.
void NoteOnce(LinuxFirmware *Fw, const std::string &Said);

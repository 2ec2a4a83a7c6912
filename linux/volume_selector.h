// SPDX-License-Identifier: BSD-2-Clause-Patent
// The selectors of --volume and --boot-volume that only Linux has: a block
// device (/dev/nvme0n1p1, or a link to one such as /dev/disk/by-partuuid/...)
// or the mount point of a FAT file system (/boot/efi), turned into the
// PARTUUID= form that the application matches against the HD() nodes.
#pragma once
#include <string>

#include "linux/linux_firmware.h"

// Whether Value is a path, which only this program's selectors are.
bool IsLinuxSelector(const std::string &Value);

// Empty on success, with Selector the partition's PARTUUID=: its GPT unique
// GUID, or the MBR disk signature and partition number as blkid writes them.
// Otherwise why Value names no partition with a device path.
std::string PartitionSelector(const LinuxFirmware &Fw, const std::string &Value,
                              std::string *Selector);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// A UEFI firmware made of a running Linux: the tables the application calls,
// filled from efivarfs, the disks' partition tables and the terminal. Every
// path it reads is under Root ("" on a real system, a fake tree in tests).
// One LinuxFirmware holds all of its state; main owns it and hands it to
// FindVolumes (linux_volumes.h) and InstallServices (linux_services.h).
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "efi.h"
#include "linux/write_outcome.h"

struct LinuxFirmware;

// A disk or one of its partitions: the handle is the volume itself.
struct LinuxVolume {
  EFI_SIMPLE_FILE_SYSTEM_PROTOCOL FileSystem;  // first: OpenVolume's This leads back here
  LinuxFirmware *Firmware;  // its Root, and its Notes for what the user must know
  std::string Device;       // /dev/vda1
  std::string Numbers;      // major:minor, as the mount table names the device
  // The HD() node and the end node; only the end node for a whole disk;
  // empty when the partition table cannot be trusted.
  std::vector<UINT8> Path;
  std::u16string Text;  // the Linux device, then the HD() node
  bool Fat;             // a file system the firmware reads
  bool SystemPartition;
};

struct LinuxFirmware {
  std::string Root;
  std::vector<std::unique_ptr<LinuxVolume>> Volumes;
  // Said on the terminal after the run: why a partition has no device path,
  // why a loader could not be looked for.
  std::vector<std::string> Notes;
  WriteOutcome Outcome;  // what the variable writes came to
  bool Json;             // --json: the outcome as JSON on standard output
  EFI_SYSTEM_TABLE SystemTable;
  EFI_BOOT_SERVICES BootServices;
  EFI_RUNTIME_SERVICES RuntimeServices;
};

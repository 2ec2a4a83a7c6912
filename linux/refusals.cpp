// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/refusals.h"

#include <unistd.h>

#include "linux/mount_table.h"

#define EFIVARS "/sys/firmware/efi/efivars"

static const MountEntry *EfivarfsMount(const std::vector<MountEntry> &Table) {
  for (const MountEntry &Mount : Table) {
    if (Mount.Type == "efivarfs" && Mount.MountPoint == EFIVARS) return &Mount;
  }
  return nullptr;
}

std::string RefusalBeforeDialogue(const std::string &Root, uid_t User) {
  if (access((Root + "/sys/firmware/efi").c_str(), F_OK) != 0) {
    return "this system was not started through UEFI (there is no /sys/firmware/efi), "
           "so it has no boot entries to add to.";
  }
  std::vector<MountEntry> Table = ReadMountTable(Root + "/proc/self/mountinfo");
  const MountEntry *Efivarfs = EfivarfsMount(Table);
  if (Efivarfs == nullptr) {
    return "efivarfs is not mounted; mount it with: mount -t efivarfs efivarfs " EFIVARS;
  }
  if (User != 0) return "only root can write boot entries; run it as root.";
  if (MountedReadOnly(*Efivarfs)) {
    return "this firmware keeps its variables for itself (efivarfs is read-only, as under "
           "U-Boot); make the entry with the firmware application addbootentry<arch>.efi "
           "started from the firmware.";
  }
  return "";
}

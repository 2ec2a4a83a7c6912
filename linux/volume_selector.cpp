// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/volume_selector.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "linux/mount_table.h"

#define HARD_DRIVE_NODE_BYTES 42

bool IsLinuxSelector(const std::string &Value) { return !Value.empty() && Value[0] == '/'; }

static const LinuxVolume *VolumeWhere(const LinuxFirmware &Fw, const std::string &Device,
                                      const std::string &Numbers) {
  for (const auto &Volume : Fw.Volumes) {
    if (Device.empty() ? Volume->Numbers == Numbers : Volume->Device == Device) return Volume.get();
  }
  return nullptr;
}

// The last mount on Folder is the one that shows there.
static const MountEntry *MountedOn(const std::vector<MountEntry> &Table,
                                   const std::string &Folder) {
  const MountEntry *Found = nullptr;
  for (const MountEntry &Mount : Table) {
    if (Mount.MountPoint == Folder) Found = &Mount;
  }
  return Found;
}

static std::string SelectorOf(const LinuxVolume &Volume, std::string *Selector) {
  if (Volume.Path.size() != HARD_DRIVE_NODE_BYTES + 4) {
    if (Volume.Path.empty()) return Volume.Device + " has no device path (said after the run)";
    return Volume.Device + " is a whole disk; name one of its partitions";
  }
  const UINT8 *Node = Volume.Path.data();
  const UINT8 *S = Node + 24;
  char Text[64];
  if (Node[41] == 2) {
    std::snprintf(Text, sizeof Text,
                  "PARTUUID=%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  S[3], S[2], S[1], S[0], S[5], S[4], S[7], S[6], S[8], S[9], S[10], S[11], S[12],
                  S[13], S[14], S[15]);
  } else {
    std::snprintf(Text, sizeof Text, "PARTUUID=%02x%02x%02x%02x-%02x", S[3], S[2], S[1], S[0],
                  Node[4]);
  }
  *Selector = Text;
  return "";
}

std::string PartitionSelector(const LinuxFirmware &Fw, const std::string &Value,
                              std::string *Selector) {
  char Resolved[PATH_MAX];
  if (realpath((Fw.Root + Value).c_str(), Resolved) == nullptr) {
    return std::string(std::strerror(errno));
  }
  std::string Path = Resolved;
  char RootResolved[PATH_MAX] = "";
  if (!Fw.Root.empty() && realpath(Fw.Root.c_str(), RootResolved) != nullptr) {
    Path = Path.substr(std::strlen(RootResolved));  // a test's tree stands for /
  }
  if (Path.empty()) Path = "/";
  struct stat Status;
  if (stat(Resolved, &Status) != 0) return std::string(std::strerror(errno));
  const LinuxVolume *Volume = nullptr;
  if (!S_ISDIR(Status.st_mode)) {
    Volume = VolumeWhere(Fw, Path, "");
    if (Volume == nullptr) return Path + " is not a disk or partition this program lists";
    return SelectorOf(*Volume, Selector);
  }
  std::vector<MountEntry> Table = ReadMountTable(Fw.Root + "/proc/self/mountinfo");
  const MountEntry *Mount = MountedOn(Table, Path);
  if (Mount == nullptr) return "no file system is mounted on " + Path;
  if (Mount->Type != "vfat")
    return "the file system mounted on " + Path + " is " + Mount->Type + ", not FAT";
  Volume = VolumeWhere(Fw, "", Mount->Numbers);
  if (Volume == nullptr) {
    return "mounted on " + Path + " is device " + Mount->Numbers +
           ", not a partition this program lists";
  }
  return SelectorOf(*Volume, Selector);
}

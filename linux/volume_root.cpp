// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/volume_root.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "linux/efivarfs.h"
#include "linux/ending.h"
#include "linux/mount_table.h"

void NoteOnce(LinuxFirmware *Fw, const std::string &Said) {
  std::vector<std::string> &Notes = Fw->Notes;
  if (std::find(Notes.begin(), Notes.end(), Said) == Notes.end()) Notes.push_back(Said);
}

EFI_STATUS StatusOfOpen(int Error) {
  if (Error == ENOENT || Error == ENOTDIR || Error == ELOOP) return EFI_NOT_FOUND;
  if (Error == EACCES || Error == EPERM) return EFI_ACCESS_DENIED;
  return StatusOfErrno(Error);
}

// The folder a FAT partition is mounted on for the loader check, from its
// making until the mount is detached and the folder removed; "" otherwise.
static char TemporaryMount[256];

static void ReleaseTemporaryMount() {
  if (TemporaryMount[0] == 0) return;
  umount2(TemporaryMount, MNT_DETACH);
  rmdir(TemporaryMount);
  TemporaryMount[0] = 0;
}

static bool IsOn(int Fd, dev_t Device) {
  struct stat Info;
  return fstat(Fd, &Info) == 0 && Info.st_dev == Device;
}

// The partition's file system where Linux has it mounted whole. The mount
// table is text: a mount point hidden under a later mount, gone, or reached
// through a link may hold another file system, so the folder opened must be
// on the partition itself; otherwise the next mount of it is tried.
static int OpenMounted(const LinuxVolume &Volume, dev_t Device) {
  const std::string &Root = Volume.Firmware->Root;
  for (const MountEntry &Mount : ReadMountTable(Root + "/proc/self/mountinfo")) {
    if (Mount.Numbers != Volume.Numbers || Mount.Root != "/") continue;
    int Fd = open((Root + Mount.MountPoint).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd >= 0 && IsOn(Fd, Device)) return Fd;
    if (Fd >= 0) close(Fd);
  }
  return -1;
}

// Only in a mount namespace of this program's own: there no other program
// sees the mount, and it cannot outlive the program whatever happens. Without
// one the partition is not mounted, and the user is told why. The mount is
// detached and its folder removed as soon as its root is open: the open root
// alone keeps it, until the dialogue closes it.
static int MountTemporarily(LinuxVolume *Volume, dev_t Device, EFI_STATUS *Status) {
  if (unshare(CLONE_NEWNS) != 0 ||
      mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    std::string Reason = std::strerror(errno);
    NoteOnce(Volume->Firmware, Volume->Device +
                                   " is not mounted, and cannot be mounted where only this program "
                                   "sees it (" +
                                   Reason + "): mount it to have the loader looked for");
    *Status = EFI_ACCESS_DENIED;
    return -1;
  }
  std::string Template = Volume->Firmware->Root + "/tmp/addbootentry-XXXXXX";
  if (Template.size() >= sizeof TemporaryMount) {
    *Status = EFI_OUT_OF_RESOURCES;
    return -1;
  }
  UndoAtEnding(ReleaseTemporaryMount);
  Template.copy(TemporaryMount, Template.size());
  TemporaryMount[Template.size()] = 0;
  if (mkdtemp(TemporaryMount) == nullptr) {
    TemporaryMount[0] = 0;
    *Status = StatusOfOpen(errno);
    return -1;
  }
  std::string Partition = Volume->Firmware->Root + Volume->Device;
  int Fd = -1;
  int Error = ENOENT;
  if (mount(Partition.c_str(), TemporaryMount, "vfat", MS_RDONLY | MS_NOSUID | MS_NODEV | MS_NOEXEC,
            nullptr) != 0) {
    Error = errno;
  } else {
    Fd = open(TemporaryMount, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Error = errno;
  }
  ReleaseTemporaryMount();
  if (Fd >= 0 && !IsOn(Fd, Device)) {
    close(Fd);
    Fd = -1;
    Error = ENOENT;
  }
  *Status = StatusOfOpen(Error);
  return Fd;
}

int OpenVolumeRoot(LinuxVolume *Volume, dev_t Device, EFI_STATUS *Status) {
  int Fd = OpenMounted(*Volume, Device);
  return Fd >= 0 ? Fd : MountTemporarily(Volume, Device, Status);
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/loader_files.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "linux/efivarfs.h"
#include "linux/ending.h"
#include "linux/mount_table.h"
#include "linux/utf8.h"

struct LinuxFile {
  EFI_FILE_PROTOCOL Protocol;  // first: Open's and Close's This lead back here
  int Fd;
  dev_t Device;  // the volume's file system: nothing elsewhere is on the volume
  LinuxVolume *Volume;
};

// The folder a FAT partition is mounted on for the loader check, from its
// making until the mount is detached and the folder removed; "" otherwise.
static char TemporaryMount[256];

static void ReleaseTemporaryMount() {
  if (TemporaryMount[0] == 0) return;
  umount2(TemporaryMount, MNT_DETACH);
  rmdir(TemporaryMount);
  TemporaryMount[0] = 0;
}

static void Note(LinuxVolume *Volume, const std::string &Said) {
  std::vector<std::string> &Notes = Volume->Firmware->Notes;
  if (std::find(Notes.begin(), Notes.end(), Said) == Notes.end()) Notes.push_back(Said);
}

static EFI_STATUS StatusOfOpen(int Error) {
  if (Error == ENOENT || Error == ENOTDIR || Error == ELOOP) return EFI_NOT_FOUND;
  if (Error == EACCES || Error == EPERM) return EFI_ACCESS_DENIED;
  return StatusOfErrno(Error);
}

static EFI_STATUS EFIAPI FileOpen(EFI_FILE_PROTOCOL *, EFI_FILE_PROTOCOL **, const CHAR16 *,
                                  UINT64, UINT64);

static EFI_STATUS EFIAPI FileClose(EFI_FILE_PROTOCOL *This) {
  LinuxFile *File = reinterpret_cast<LinuxFile *>(This);
  close(File->Fd);  // a temporary mount's root: the detached mount goes with it
  delete File;
  return EFI_SUCCESS;
}

static EFI_FILE_PROTOCOL *NewFile(int Fd, dev_t Device, LinuxVolume *Volume) {
  LinuxFile *File = new LinuxFile{};
  File->Protocol.Open = FileOpen;
  File->Protocol.Close = FileClose;
  File->Fd = Fd;
  File->Device = Device;
  File->Volume = Volume;
  return &File->Protocol;
}

// The names of a UEFI path, cut at its backslashes. A slash is no separator
// to the firmware, and no letter a FAT name may hold: the user is told so.
static EFI_STATUS NamesOf(LinuxVolume *Volume, const CHAR16 *FileName,
                          std::vector<std::string> *Names) {
  std::string Name;
  for (const CHAR16 *C = FileName;; C++) {
    if (*C == u'/') {
      Note(Volume, "the firmware separates folders with \\ only: a path written with / is not "
                   "found on it");
      return EFI_NOT_FOUND;
    }
    if (*C != u'\\' && *C != 0) {
      AppendUtf8(&Name, *C);
      continue;
    }
    if (!Name.empty()) Names->push_back(Name);
    Name.clear();
    if (*C == 0) return EFI_SUCCESS;
  }
}

// Name in the folder At, when it is a folder or a regular file of this
// file system itself: a link, a FIFO or a device is not opened at all, and
// what is mounted inside is not on the volume. Opened without blocking, and
// looked at again once open, as it may have changed meanwhile.
static EFI_STATUS OpenOnVolume(int At, const std::string &Name, dev_t Device, int *Opened) {
  struct stat Seen;
  if (fstatat(At, Name.c_str(), &Seen, AT_SYMLINK_NOFOLLOW) != 0) return StatusOfOpen(errno);
  if ((!S_ISDIR(Seen.st_mode) && !S_ISREG(Seen.st_mode)) || Seen.st_dev != Device) {
    return EFI_NOT_FOUND;
  }
  int Fd = openat(At, Name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (Fd < 0) return StatusOfOpen(errno);
  struct stat Now;
  if (fstat(Fd, &Now) != 0 || Now.st_dev != Seen.st_dev || Now.st_ino != Seen.st_ino) {
    close(Fd);
    return EFI_NOT_FOUND;
  }
  *Opened = Fd;
  return EFI_SUCCESS;
}

// A path as the firmware's FAT driver follows it, one name at a time from
// this folder: ".." goes back up, never above where it started; only a
// regular file is there to be opened.
static EFI_STATUS OpenBeneath(const LinuxFile &From, const CHAR16 *FileName, int *Opened) {
  std::vector<std::string> Names;
  EFI_STATUS Status = NamesOf(From.Volume, FileName, &Names);
  std::vector<int> Walked;  // the folders gone down into, then the file
  for (size_t I = 0; Status == EFI_SUCCESS && I < Names.size(); I++) {
    if (Names[I] == ".") continue;
    if (Names[I] == "..") {
      if (Walked.empty()) Status = EFI_NOT_FOUND;
      if (!Walked.empty()) {
        close(Walked.back());
        Walked.pop_back();
      }
      continue;
    }
    int Fd = -1;
    Status = OpenOnVolume(Walked.empty() ? From.Fd : Walked.back(), Names[I], From.Device, &Fd);
    if (Status == EFI_SUCCESS) Walked.push_back(Fd);
  }
  struct stat Found;
  if (Status == EFI_SUCCESS &&
      (Walked.empty() || fstat(Walked.back(), &Found) != 0 || !S_ISREG(Found.st_mode))) {
    Status = EFI_NOT_FOUND;
  }
  if (Status == EFI_SUCCESS) {
    *Opened = Walked.back();
    Walked.pop_back();
  }
  for (int Fd : Walked) close(Fd);
  return Status;
}

static EFI_STATUS EFIAPI FileOpen(EFI_FILE_PROTOCOL *This, EFI_FILE_PROTOCOL **NewHandle,
                                  const CHAR16 *FileName, UINT64 OpenMode, UINT64 Attributes) {
  if (OpenMode != EFI_FILE_MODE_READ || Attributes != 0) return EFI_WRITE_PROTECTED;
  const LinuxFile &From = *reinterpret_cast<LinuxFile *>(This);
  int Fd = -1;
  EFI_STATUS Status = OpenBeneath(From, FileName, &Fd);
  if (Status != EFI_SUCCESS) return Status;
  *NewHandle = NewFile(Fd, From.Device, From.Volume);
  return EFI_SUCCESS;
}

static BOOLEAN IsOn(int Fd, dev_t Device) {
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
  if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    std::string Reason = std::strerror(errno);
    Note(Volume, Volume->Device + " is not mounted, and cannot be mounted where only this program "
                 "sees it (" + Reason + "): mount it to have the loader looked for");
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

// The device numbers sysfs gave the partition.
static BOOLEAN DeviceOf(const LinuxVolume &Volume, dev_t *Device) {
  unsigned Major = 0, Minor = 0;
  char End = 0;
  if (std::sscanf(Volume.Numbers.c_str(), "%u:%u%c", &Major, &Minor, &End) != 2) return FALSE;
  *Device = makedev(Major, Minor);
  return TRUE;
}

static EFI_STATUS EFIAPI OpenVolume(EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *This,
                                    EFI_FILE_PROTOCOL **Root) {
  LinuxVolume *Volume = reinterpret_cast<LinuxVolume *>(This);
  dev_t Device;
  if (!DeviceOf(*Volume, &Device)) return EFI_NOT_FOUND;
  EFI_STATUS Status = EFI_SUCCESS;
  int Fd = OpenMounted(*Volume, Device);
  if (Fd < 0) Fd = MountTemporarily(Volume, Device, &Status);
  if (Fd < 0) return Status;
  *Root = NewFile(Fd, Device, Volume);
  return EFI_SUCCESS;
}

void InstallFileSystem(LinuxVolume *Volume) { Volume->FileSystem.OpenVolume = OpenVolume; }

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/loader_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "linux/utf8.h"
#include "linux/volume_root.h"

struct LinuxFile {
  EFI_FILE_PROTOCOL Protocol;  // first: Open's and Close's This lead back here
  int Fd;
  dev_t Device;  // the volume's file system: nothing elsewhere is on the volume
  LinuxVolume *Volume;
};

static EFI_STATUS EFIAPI FileOpen(EFI_FILE_PROTOCOL *, EFI_FILE_PROTOCOL **, const CHAR16 *, UINT64,
                                  UINT64);

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
      NoteOnce(
          Volume->Firmware,
          "the firmware separates folders with \\ only: a path written with / is not found on it");
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

// The device numbers sysfs gave the partition.
static bool DeviceOf(const LinuxVolume &Volume, dev_t *Device) {
  unsigned Major = 0;
  unsigned Minor = 0;
  char End = 0;
  if (std::sscanf(Volume.Numbers.c_str(), "%u:%u%c", &Major, &Minor, &End) != 2) return false;
  *Device = makedev(Major, Minor);
  return true;
}

static EFI_STATUS EFIAPI OpenVolume(EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *This,
                                    EFI_FILE_PROTOCOL **Root) {
  LinuxVolume *Volume = reinterpret_cast<LinuxVolume *>(This);
  dev_t Device;
  if (!DeviceOf(*Volume, &Device)) return EFI_NOT_FOUND;
  EFI_STATUS Status = EFI_SUCCESS;
  int Fd = OpenVolumeRoot(Volume, Device, &Status);
  if (Fd < 0) return Status;
  *Root = NewFile(Fd, Device, Volume);
  return EFI_SUCCESS;
}

void InstallFileSystem(LinuxVolume *Volume) { Volume->FileSystem.OpenVolume = OpenVolume; }

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/loader_files.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "linux/efivarfs.h"
#include "linux/ending.h"
#include "linux/mount_table.h"

struct LinuxFile {
  EFI_FILE_PROTOCOL Protocol;  // first: Open's and Close's This lead back here
  int Fd;
  BOOLEAN Unmounts;  // the root of the temporary mount
};

// The folder where a FAT partition is mounted for the loader check, until
// its root directory is closed; "" when there is none.
static char TemporaryMount[64];

static void ReleaseTemporaryMount() {
  if (TemporaryMount[0] == 0) return;
  umount2(TemporaryMount, MNT_DETACH);
  rmdir(TemporaryMount);
  TemporaryMount[0] = 0;
}

static EFI_STATUS StatusOfOpen(int Error) {
  if (Error == ENOENT || Error == ENOTDIR) return EFI_NOT_FOUND;
  if (Error == EACCES || Error == EPERM) return EFI_ACCESS_DENIED;
  return StatusOfErrno(Error);
}

static EFI_STATUS EFIAPI FileOpen(EFI_FILE_PROTOCOL *, EFI_FILE_PROTOCOL **, const CHAR16 *,
                                  UINT64, UINT64);

static EFI_FILE_PROTOCOL *NewFile(int Fd, BOOLEAN Unmounts);

static EFI_STATUS EFIAPI FileClose(EFI_FILE_PROTOCOL *This) {
  LinuxFile *File = reinterpret_cast<LinuxFile *>(This);
  close(File->Fd);
  if (File->Unmounts) ReleaseTemporaryMount();
  delete File;
  return EFI_SUCCESS;
}

static EFI_FILE_PROTOCOL *NewFile(int Fd, BOOLEAN Unmounts) {
  LinuxFile *File = new LinuxFile{};
  File->Protocol.Open = FileOpen;
  File->Protocol.Close = FileClose;
  File->Fd = Fd;
  File->Unmounts = Unmounts;
  return &File->Protocol;
}

// A UEFI path (backslashes, a leading one for the root) as a path relative
// to the root directory; FAT itself ignores the letters' case.
static std::string RelativePath(const CHAR16 *Name) {
  std::string Path;
  for (const CHAR16 *C = Name; *C != 0; C++) {
    if (*C == u'\\' && Path.empty()) continue;
    CHAR16 Char = *C == u'\\' ? u'/' : *C;
    if (Char < 0x80) {
      Path.push_back((char)Char);
    } else if (Char < 0x800) {
      Path.push_back((char)(0xC0 | (Char >> 6)));
      Path.push_back((char)(0x80 | (Char & 0x3F)));
    } else {
      Path.push_back((char)(0xE0 | (Char >> 12)));
      Path.push_back((char)(0x80 | ((Char >> 6) & 0x3F)));
      Path.push_back((char)(0x80 | (Char & 0x3F)));
    }
  }
  return Path.empty() ? "." : Path;
}

static EFI_STATUS EFIAPI FileOpen(EFI_FILE_PROTOCOL *This, EFI_FILE_PROTOCOL **NewHandle,
                                  const CHAR16 *FileName, UINT64 OpenMode, UINT64 Attributes) {
  if (OpenMode != EFI_FILE_MODE_READ || Attributes != 0) return EFI_WRITE_PROTECTED;
  int Fd = openat(reinterpret_cast<LinuxFile *>(This)->Fd, RelativePath(FileName).c_str(),
                  O_RDONLY | O_CLOEXEC);
  if (Fd < 0) return StatusOfOpen(errno);
  *NewHandle = NewFile(Fd, FALSE);
  return EFI_SUCCESS;
}

static const MountEntry *MountOf(const std::vector<MountEntry> &Table, const LinuxVolume &Volume) {
  for (const MountEntry &Mount : Table) {
    if (Mount.Numbers == Volume.Numbers && Mount.Root == "/") return &Mount;
  }
  return nullptr;
}

// In a mount namespace of its own when the kernel allows one: a mount that
// no other program sees, and that ends with the program whatever happens.
static int MountTemporarily(const LinuxVolume &Volume) {
  std::string Template = "/tmp/addbootentry-XXXXXX";
  Template.copy(TemporaryMount, Template.size());
  UndoAtEnding(ReleaseTemporaryMount);
  if (mkdtemp(TemporaryMount) == nullptr) {
    TemporaryMount[0] = 0;
    return -1;
  }
  if (unshare(CLONE_NEWNS) == 0) mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
  std::string Device = Volume.Root + Volume.Device;
  if (mount(Device.c_str(), TemporaryMount, "vfat", MS_RDONLY | MS_NOSUID | MS_NODEV | MS_NOEXEC,
            nullptr) != 0) {
    int Error = errno;
    rmdir(TemporaryMount);
    TemporaryMount[0] = 0;
    errno = Error;
    return -1;
  }
  return open(TemporaryMount, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

static EFI_STATUS EFIAPI OpenVolume(EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *This,
                                    EFI_FILE_PROTOCOL **Root) {
  const LinuxVolume &Volume = *reinterpret_cast<LinuxVolume *>(This);
  std::vector<MountEntry> Table = ReadMountTable(Volume.Root + "/proc/self/mountinfo");
  const MountEntry *Mounted = MountOf(Table, Volume);
  BOOLEAN Temporary = Mounted == nullptr;
  int Fd = Temporary ? MountTemporarily(Volume)
                     : open((Volume.Root + Mounted->MountPoint).c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd < 0) {
    EFI_STATUS Status = StatusOfOpen(errno);
    ReleaseTemporaryMount();
    return Status;
  }
  *Root = NewFile(Fd, Temporary);
  return EFI_SUCCESS;
}

void InstallFileSystem(LinuxVolume *Volume) { Volume->FileSystem.OpenVolume = OpenVolume; }

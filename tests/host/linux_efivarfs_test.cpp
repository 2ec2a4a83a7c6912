// SPDX-License-Identifier: BSD-2-Clause-Patent
// Variables through efivarfs files: the file's layout, the sizes as the
// firmware reports them, the statuses the dialogue reports, and the
// immutable flag lifted for one write and put back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "fake_linux.h"
#include "linux/efivarfs.h"

static const std::string Attributes7 = std::string("\x07\0\0\0", 4);

TEST(LinuxEfivarfs, FileIsNamedByVariableAndLowerCaseVendor) {
  EXPECT_EQ(VariableFile("/e", u"BootOrder", EFI_GLOBAL_VARIABLE_GUID),
            "/e/BootOrder-8be4df61-93ca-11d2-aa0d-00e098032b8c");
}

struct ReadCase {
  const char *Name;
  std::optional<std::string> File;  // nullopt: absent
  UINTN Room;
  EFI_STATUS Status;
  UINTN Size;        // as reported
  std::string Data;  // in the buffer, when read
};

TEST(LinuxEfivarfs, ReadGivesDataAndSizesAsFirmwareDoes) {
  const ReadCase Cases[] = {
      {"fits", Attributes7 + std::string("\x01\x00\x02\x00", 4), 8, EFI_SUCCESS, 4,
       std::string("\x01\x00\x02\x00", 4)},
      {"fits exactly", Attributes7 + "ab", 2, EFI_SUCCESS, 2, "ab"},
      {"too small", Attributes7 + "abc", 2, EFI_BUFFER_TOO_SMALL, 3, ""},
      {"probe with no room", Attributes7 + "a", 0, EFI_BUFFER_TOO_SMALL, 1, ""},
      {"empty data", Attributes7, 0, EFI_SUCCESS, 0, ""},
      {"absent", std::nullopt, 8, EFI_NOT_FOUND, 8, ""},
      {"shorter than its attributes", std::string("\x07\0", 2), 8, EFI_DEVICE_ERROR, 8, ""},
  };
  for (const ReadCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    FakeTree Tree;
    if (Case.File) Tree.Write("/Var", *Case.File);
    UINT8 Buffer[8] = {};
    UINT32 Attributes = 0;
    UINTN Size = Case.Room;
    EXPECT_EQ(ReadVariableFile(Tree.Root + "/Var", &Attributes, &Size, Buffer), Case.Status);
    EXPECT_EQ(Size, Case.Size);
    if (Case.Status == EFI_SUCCESS) {
      EXPECT_EQ(Attributes, 7u);
      EXPECT_EQ(std::string((char *)Buffer, Size), Case.Data);
    }
  }
}

TEST(LinuxEfivarfs, WriteIsAttributesThenDataAndNoDataDeletes) {
  FakeTree Tree;
  std::string File = Tree.Root + "/Boot0003";
  EXPECT_EQ(WriteVariableFile(File, 7, 3, "abc"), EFI_SUCCESS);
  EXPECT_EQ(Tree.Read("/Boot0003"), Attributes7 + "abc");
  // The append flag goes to efivarfs in the attributes; efivarfs appends.
  EXPECT_EQ(WriteVariableFile(Tree.Root + "/BootOrder", 0x47, 2, "de"), EFI_SUCCESS);
  EXPECT_EQ(Tree.Read("/BootOrder"), std::string("\x47\0\0\0de", 6));
  EXPECT_EQ(WriteVariableFile(File, 7, 0, nullptr), EFI_SUCCESS);
  EXPECT_NE(access(File.c_str(), F_OK), 0);
  EXPECT_EQ(WriteVariableFile(File, 7, 0, nullptr), EFI_NOT_FOUND);
}

TEST(LinuxEfivarfs, KernelRefusalsBecomeStatusesTheDialogueReports) {
  const std::pair<int, EFI_STATUS> Cases[] = {
      {ENOENT, EFI_NOT_FOUND},      {ENOSPC, EFI_OUT_OF_RESOURCES},  {ENOMEM, EFI_OUT_OF_RESOURCES},
      {EROFS, EFI_WRITE_PROTECTED}, {EPERM, EFI_WRITE_PROTECTED},    {EACCES, EFI_WRITE_PROTECTED},
      {EIO, EFI_DEVICE_ERROR},      {EINVAL, EFI_INVALID_PARAMETER}, {EBUSY, EFI_DEVICE_ERROR},
  };
  for (auto [Error, Status] : Cases) EXPECT_EQ(StatusOfErrno(Error), Status) << Error;
  // Two that a plain folder can give for real: a full device and no folder.
  EXPECT_EQ(WriteVariableFile("/dev/full", 7, 3, "abc"), EFI_OUT_OF_RESOURCES);
  FakeTree Tree;
  EXPECT_EQ(WriteVariableFile(Tree.Root + "/none/Boot0000", 7, 3, "abc"), EFI_NOT_FOUND);
}

static bool SetImmutable(const std::string &File, bool On) {
  int Fd = open(File.c_str(), O_RDONLY);
  int Flags = 0;
  bool Done = Fd >= 0 && ioctl(Fd, FS_IOC_GETFLAGS, &Flags) == 0;
  Flags = On ? Flags | FS_IMMUTABLE_FL : Flags & ~FS_IMMUTABLE_FL;
  Done = Done && ioctl(Fd, FS_IOC_SETFLAGS, &Flags) == 0;
  if (Fd >= 0) close(Fd);
  return Done;
}

static bool IsImmutable(const std::string &File) {
  int Fd = open(File.c_str(), O_RDONLY);
  int Flags = 0;
  bool Got = Fd >= 0 && ioctl(Fd, FS_IOC_GETFLAGS, &Flags) == 0;
  if (Fd >= 0) close(Fd);
  return Got && (Flags & FS_IMMUTABLE_FL) != 0;
}

// The folder's file system must keep the flag (ext4 does; efivarfs itself
// cannot be had here) and the tests must run as root.
TEST(LinuxEfivarfs, ImmutableVariableIsWrittenAndStaysImmutable) {
  FakeTree Tree;
  std::string File = Tree.Root + "/PlatformLang-8be4df61-93ca-11d2-aa0d-00e098032b8c";
  Tree.Write("/PlatformLang-8be4df61-93ca-11d2-aa0d-00e098032b8c", Attributes7 + "en");
  if (!SetImmutable(File, true)) GTEST_SKIP() << "no immutable flag on this file system or user";
  EXPECT_EQ(WriteVariableFile(File, 7, 2, "fr"), EFI_SUCCESS);
  EXPECT_TRUE(IsImmutable(File));
  SetImmutable(File, false);
  EXPECT_EQ(Tree.Read("/PlatformLang-8be4df61-93ca-11d2-aa0d-00e098032b8c"), Attributes7 + "fr");
}

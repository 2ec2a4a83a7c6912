// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/efivarfs.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "linux/file_text.h"

#define ATTRIBUTE_BYTES 4

std::string VariableFile(const std::string &Folder, const CHAR16 *Name, const EFI_GUID &Vendor) {
  std::string File = Folder + "/";
  for (const CHAR16 *C = Name; *C != 0; C++) File.push_back(*C < 0x80 ? (char)*C : '?');
  char Guid[40];
  std::snprintf(Guid, sizeof Guid, "-%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                Vendor.Data1, Vendor.Data2, Vendor.Data3, Vendor.Data4[0], Vendor.Data4[1],
                Vendor.Data4[2], Vendor.Data4[3], Vendor.Data4[4], Vendor.Data4[5], Vendor.Data4[6],
                Vendor.Data4[7]);
  return File + Guid;
}

EFI_STATUS StatusOfErrno(int Error) {
  switch (Error) {
    case ENOENT: return EFI_NOT_FOUND;
    case ENOSPC:
    case ENOMEM: return EFI_OUT_OF_RESOURCES;
    case EROFS:
    case EPERM:
    case EACCES: return EFI_WRITE_PROTECTED;
    case EINVAL: return EFI_INVALID_PARAMETER;
    default: return EFI_DEVICE_ERROR;  // EIO and whatever else the kernel says
  }
}

EFI_STATUS ReadVariableFile(const std::string &File, UINT32 *Attributes, UINTN *DataSize,
                            VOID *Data) {
  int Fd = open(File.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) return StatusOfErrno(errno);
  std::string Bytes;
  int Error = ReadToEnd(Fd, &Bytes);
  close(Fd);
  if (Error != 0) return StatusOfErrno(Error);
  if (Bytes.size() < ATTRIBUTE_BYTES) return EFI_DEVICE_ERROR;  // no variable file at all
  UINTN Size = Bytes.size() - ATTRIBUTE_BYTES;
  if (*DataSize < Size) {
    *DataSize = Size;
    return EFI_BUFFER_TOO_SMALL;
  }
  if (Size > 0) std::memcpy(Data, Bytes.data() + ATTRIBUTE_BYTES, Size);
  *DataSize = Size;
  if (Attributes != nullptr) std::memcpy(Attributes, Bytes.data(), ATTRIBUTE_BYTES);
  return EFI_SUCCESS;
}

// The attributes (little-endian, as efivarfs wants them) and the data, in
// one write: efivarfs takes each write as one SetVariable.
static int WriteOnce(const std::string &File, UINT32 Attributes, UINTN DataSize, const VOID *Data) {
  std::vector<UINT8> Bytes(ATTRIBUTE_BYTES + DataSize);
  for (int I = 0; I < ATTRIBUTE_BYTES; I++) Bytes[I] = (UINT8)(Attributes >> (8 * I));
  if (DataSize > 0) std::memcpy(Bytes.data() + ATTRIBUTE_BYTES, Data, DataSize);
  int Fd = open(File.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (Fd < 0) return errno;
  ssize_t Wrote = write(Fd, Bytes.data(), Bytes.size());
  int Error = Wrote < 0 ? errno : (size_t)Wrote == Bytes.size() ? 0 : EIO;
  if (close(Fd) != 0 && Error == 0) Error = errno;
  return Error;
}

static int Change(const std::string &File, UINT32 Attributes, UINTN DataSize, const VOID *Data) {
  bool Deletes = DataSize == 0 && (Attributes & EFI_VARIABLE_APPEND_WRITE) == 0;
  if (!Deletes) return WriteOnce(File, Attributes, DataSize, Data);
  return unlink(File.c_str()) == 0 ? 0 : errno;
}

// The kernel marks variables that it does not know as safe to change
// immutable; the flag is lifted for this one change and put back after.
static int ChangeImmutable(const std::string &File, UINT32 Attributes, UINTN DataSize,
                           const VOID *Data) {
  int Fd = open(File.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) return EPERM;  // not there to lift: the first refusal stands
  int Flags = 0;
  int Error = EPERM;
  if (ioctl(Fd, FS_IOC_GETFLAGS, &Flags) == 0 && (Flags & FS_IMMUTABLE_FL) != 0) {
    int Lifted = Flags & ~FS_IMMUTABLE_FL;
    if (ioctl(Fd, FS_IOC_SETFLAGS, &Lifted) == 0) {
      Error = Change(File, Attributes, DataSize, Data);
      // A deleted variable has no flag to restore; the open descriptor
      // still refers to a kept one.
      if (access(File.c_str(), F_OK) == 0) ioctl(Fd, FS_IOC_SETFLAGS, &Flags);
    }
  }
  close(Fd);
  return Error;
}

EFI_STATUS WriteVariableFile(const std::string &File, UINT32 Attributes, UINTN DataSize,
                             const VOID *Data) {
  int Error = Change(File, Attributes, DataSize, Data);
  if (Error == EPERM) Error = ChangeImmutable(File, Attributes, DataSize, Data);
  return Error == 0 ? EFI_SUCCESS : StatusOfErrno(Error);
}

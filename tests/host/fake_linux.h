// SPDX-License-Identifier: BSD-2-Clause-Patent
// A Linux system in a temporary folder for the Linux firmware's tests: the
// sysfs, efivarfs, /proc and /dev files it reads, and disks with partition
// tables built here by the layout rules, not by the reader under test.
#pragma once
#include <string>
#include <vector>

#include "efi.h"

struct FakeTree {
  // In a new folder inside Parent (a fuzzer asks for one in memory).
  explicit FakeTree(const std::string &Parent = "/tmp");
  ~FakeTree();
  FakeTree(const FakeTree &) = delete;
  FakeTree &operator=(const FakeTree &) = delete;
  // Path is absolute within the tree; folders are made as needed.
  void Write(const std::string &Path, const std::string &Text) const;
  void Write(const std::string &Path, const std::vector<UINT8> &Bytes) const;
  std::string Read(const std::string &Path) const;
  // major:minor of the file system the tree is on.
  std::string Numbers() const;
  std::string Root;
};

struct FakePartition {
  UINT64 First, Last;  // in the disk's sectors
  bool Esp;
  bool Fat;  // a FAT boot sector at First
};
// The unique GUID of partition N is 16 bytes of 0x10 * N + I.
UINT8 FakeGuidByte(UINT32 Number, int I);
std::vector<UINT8> GptDisk(UINT32 SectorSize, UINT64 Sectors,
                           const std::vector<FakePartition> &Parts);
// The 8-byte field at Offset of a GptDisk's header, its checksum made again.
void PutGptHeaderField(std::vector<UINT8> &Disk, UINT32 SectorSize, size_t Offset, UINT64 Value);
std::vector<UINT8> MbrDisk(UINT32 Signature, UINT64 Sectors,
                           const std::vector<FakePartition> &Parts);

// /sys/class/block/<Disk> and one folder per partition, the kernel's
// numbering and 512-byte start and size, and the disk's bytes in /dev.
void AddFakeDisk(const FakeTree &Tree, const std::string &Disk, UINT32 SectorSize,
                 const std::vector<UINT8> &Bytes, const std::vector<FakePartition> &Parts);
// Partition (vda1) of Disk as Linux has it mounted at MountPoint: its sysfs
// device numbers become those of the tree's own file system, as a mounted
// partition's are its file system's. The mount table's line for it.
std::string MountFakePartition(const FakeTree &Tree, const std::string &Disk,
                               const std::string &Partition, const std::string &MountPoint);

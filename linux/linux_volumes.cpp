// SPDX-License-Identifier: BSD-2-Clause-Patent
// Disks and partitions from /sys/class/block. The partitions' places come
// from each disk's own table, so that the HD() node is the firmware's; the
// kernel's start and size only confirm them.
#include "linux/linux_volumes.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "linux/file_text.h"
#include "linux/partition_table.h"

#define KERNEL_SECTOR_BYTES 512

static std::string FirstLine(const std::string &File) {
  std::string Text = FileText(File);
  return Text.substr(0, Text.find('\n'));
}

// 19 digits always fit in 64 bits; a longer number is no sector count, and
// stoull would throw out of the program.
#define NUMBER_DIGITS_MAX 19

static UINT64 NumberIn(const std::string &File, UINT64 Otherwise) {
  std::string Line = FirstLine(File);
  if (Line.empty() || Line.size() > NUMBER_DIGITS_MAX ||
      Line.find_first_not_of("0123456789") != std::string::npos) {
    return Otherwise;
  }
  return std::stoull(Line);
}

static std::vector<std::string> Entries(const std::string &Folder) {
  std::vector<std::string> Names;
  DIR *Dir = opendir(Folder.c_str());
  if (Dir == nullptr) return Names;
  while (struct dirent *Entry = readdir(Dir)) {
    if (Entry->d_name[0] != '.') Names.push_back(Entry->d_name);
  }
  closedir(Dir);
  std::sort(Names.begin(), Names.end());
  return Names;
}

// A FAT boot sector: the jump, the 0x55AA mark, and the type name that
// every formatter writes (FAT12/FAT16 at 54, FAT32 at 82).
static bool HoldsFat(int Disk, UINT64 Offset) {
  UINT8 Sector[512];
  if (pread(Disk, Sector, sizeof Sector, (off_t)Offset) != (ssize_t)sizeof Sector) return false;
  bool Jump = Sector[0] == 0xEB || Sector[0] == 0xE9;
  bool Mark = Sector[510] == 0x55 && Sector[511] == 0xAA;
  bool Named = std::memcmp(Sector + 54, "FAT", 3) == 0 || std::memcmp(Sector + 82, "FAT32", 5) == 0;
  return Jump && Mark && Named;
}

static std::u16string Wide(const std::string &Text) {
  return std::u16string(Text.begin(), Text.end());
}

static void AddPartition(LinuxFirmware *Fw, int Disk, UINT32 SectorSize, const std::string &Sys,
                         const std::string &Name) {
  auto Volume = std::make_unique<LinuxVolume>();
  Volume->Firmware = Fw;
  Volume->Device = "/dev/" + Name;
  Volume->Numbers = FirstLine(Sys + "/dev");
  UINT64 Start = NumberIn(Sys + "/start", 0);
  PartitionPlace Place;
  std::string Problem =
      ReadPartitionPlace(Disk, SectorSize, (UINT32)NumberIn(Sys + "/partition", 0), &Place);
  if (Problem.empty())
    Problem = CheckAgainstKernel(Place, SectorSize, Start, NumberIn(Sys + "/size", 0));
  if (Problem.empty()) {
    Volume->Path = HardDriveNodeBytes(Place);
    Volume->Path.insert(Volume->Path.end(), END_OF_PATH_NODE,
                        END_OF_PATH_NODE + sizeof END_OF_PATH_NODE);
    Volume->Text = Wide(Volume->Device + "/") + HardDriveNodeText(Place);
    Volume->SystemPartition = Place.SystemPartition;
  } else {
    Fw->Notes.push_back(Volume->Device + ": " + Problem + "; it has no device path");
    Volume->Text = Wide(Volume->Device);
  }
  Volume->Fat = HoldsFat(Disk, Start * KERNEL_SECTOR_BYTES);
  Fw->Volumes.push_back(std::move(Volume));
}

// The disk first, then its partitions in the kernel's numbering, as the
// firmware lists a disk before its partitions.
static void AddDisk(LinuxFirmware *Fw, const std::string &Name) {
  std::string Sys = Fw->Root + "/sys/class/block/" + Name;
  if (NumberIn(Sys + "/size", 0) == 0) return;  // no medium: an empty drive, an unused loop device
  auto Whole = std::make_unique<LinuxVolume>();
  Whole->Firmware = Fw;
  Whole->Device = "/dev/" + Name;
  Whole->Numbers = FirstLine(Sys + "/dev");
  Whole->Path.assign(END_OF_PATH_NODE, END_OF_PATH_NODE + sizeof END_OF_PATH_NODE);
  Whole->Text = Wide(Whole->Device);
  Fw->Volumes.push_back(std::move(Whole));

  std::vector<std::pair<UINT64, std::string>> Partitions;
  for (const std::string &Entry : Entries(Sys)) {
    UINT64 Number = NumberIn(Sys + "/" + Entry + "/partition", 0);
    if (Number != 0) Partitions.push_back({Number, Entry});
  }
  std::sort(Partitions.begin(), Partitions.end());
  if (Partitions.empty()) return;
  UINT32 SectorSize = (UINT32)NumberIn(Sys + "/queue/logical_block_size", KERNEL_SECTOR_BYTES);
  int Disk = open((Fw->Root + "/dev/" + Name).c_str(), O_RDONLY | O_CLOEXEC);
  if (Disk < 0) {
    Fw->Notes.push_back("/dev/" + Name + ": " + std::strerror(errno) +
                        "; its partitions are not listed");
    return;
  }
  for (auto &[Number, Entry] : Partitions)
    AddPartition(Fw, Disk, SectorSize, Sys + "/" + Entry, Entry);
  close(Disk);
}

void FindVolumes(LinuxFirmware *Fw) {
  std::string Folder = Fw->Root + "/sys/class/block";
  for (const std::string &Name : Entries(Folder)) {
    if (access((Folder + "/" + Name + "/partition").c_str(), F_OK) != 0) AddDisk(Fw, Name);
  }
}

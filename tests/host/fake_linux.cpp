// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "fake_linux.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

FakeTree::FakeTree(const std::string &Parent) {
  std::string Template = Parent + "/fake-linux-XXXXXX";
  Root = mkdtemp(Template.data());
}

FakeTree::~FakeTree() { std::system(("rm -rf '" + Root + "'").c_str()); }

static void MakeFolders(const std::string &File) {
  for (size_t Slash = File.find('/', 1); Slash != std::string::npos;
       Slash = File.find('/', Slash + 1)) {
    mkdir(File.substr(0, Slash).c_str(), 0755);
  }
}

void FakeTree::Write(const std::string &Path, const std::string &Text) const {
  MakeFolders(Root + Path);
  std::ofstream(Root + Path, std::ios::binary) << Text;
}

void FakeTree::Write(const std::string &Path, const std::vector<UINT8> &Bytes) const {
  Write(Path, std::string(Bytes.begin(), Bytes.end()));
}

std::string FakeTree::Read(const std::string &Path) const {
  std::ostringstream Out;
  Out << std::ifstream(Root + Path, std::ios::binary).rdbuf();
  return Out.str();
}

std::string FakeTree::Numbers() const {
  struct stat Info = {};
  stat(Root.c_str(), &Info);
  return std::to_string(major(Info.st_dev)) + ":" + std::to_string(minor(Info.st_dev));
}

UINT8 FakeGuidByte(UINT32 Number, int I) { return (UINT8)(0x10 * Number + I); }

static void Put(std::vector<UINT8> &Bytes, size_t At, UINT64 Value, int Count) {
  for (int I = 0; I < Count; I++) Bytes[At + I] = (UINT8)(Value >> (8 * I));
}

// Table-driven, unlike the reader's bitwise loop.
static UINT32 Crc32(const UINT8 *Bytes, size_t Count) {
  static UINT32 Table[256];
  if (Table[1] == 0) {
    for (UINT32 N = 0; N < 256; N++) {
      UINT32 C = N;
      for (int K = 0; K < 8; K++) C = C & 1 ? 0xEDB88320u ^ (C >> 1) : C >> 1;
      Table[N] = C;
    }
  }
  UINT32 Crc = 0xFFFFFFFFu;
  for (size_t I = 0; I < Count; I++) Crc = Table[(Crc ^ Bytes[I]) & 0xFF] ^ (Crc >> 8);
  return Crc ^ 0xFFFFFFFFu;
}

static void PutFatBootSector(std::vector<UINT8> &Disk, size_t At) {
  Disk[At] = 0xEB;
  std::memcpy(&Disk[At + 54], "FAT16   ", 8);
  Disk[At + 510] = 0x55;
  Disk[At + 511] = 0xAA;
}

static void PutMbrEntry(std::vector<UINT8> &Disk, int Slot, UINT8 Type, UINT64 First,
                        UINT64 Count) {
  size_t At = 446 + 16 * Slot;
  Disk[At + 4] = Type;
  Put(Disk, At + 8, First, 4);
  Put(Disk, At + 12, Count, 4);
  Disk[510] = 0x55;
  Disk[511] = 0xAA;
}

std::vector<UINT8> GptDisk(UINT32 SectorSize, UINT64 Sectors,
                           const std::vector<FakePartition> &Parts) {
  std::vector<UINT8> Disk(SectorSize * Sectors);
  PutMbrEntry(Disk, 0, 0xEE, 1, Sectors - 1);
  const size_t Entries = 2 * SectorSize;
  static const UINT8 Esp[16] = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
  static const UINT8 Data[16] = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                 0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
  for (size_t N = 0; N < Parts.size(); N++) {
    size_t At = Entries + 128 * N;
    std::memcpy(&Disk[At], Parts[N].Esp ? Esp : Data, 16);
    for (int I = 0; I < 16; I++) Disk[At + 16 + I] = FakeGuidByte((UINT32)N + 1, I);
    Put(Disk, At + 32, Parts[N].First, 8);
    Put(Disk, At + 40, Parts[N].Last, 8);
    if (Parts[N].Fat) PutFatBootSector(Disk, Parts[N].First * SectorSize);
  }
  size_t Header = SectorSize;
  std::memcpy(&Disk[Header], "EFI PART", 8);
  Put(Disk, Header + 8, 0x00010000, 4);
  Put(Disk, Header + 12, 92, 4);
  Put(Disk, Header + 24, 1, 8);
  Put(Disk, Header + 32, Sectors - 1, 8);
  Put(Disk, Header + 40, 2 + 128 * 128 / SectorSize, 8);  // the first usable sector
  Put(Disk, Header + 48, Sectors - 1, 8);                 // the last
  Put(Disk, Header + 72, 2, 8);
  Put(Disk, Header + 80, 128, 4);
  Put(Disk, Header + 84, 128, 4);
  Put(Disk, Header + 88, Crc32(&Disk[Entries], 128 * 128), 4);
  Put(Disk, Header + 16, Crc32(&Disk[Header], 92), 4);
  return Disk;
}

void PutGptHeaderField(std::vector<UINT8> &Disk, UINT32 SectorSize, size_t Offset, UINT64 Value) {
  Put(Disk, SectorSize + Offset, Value, 8);
  Put(Disk, SectorSize + 16, 0, 4);
  Put(Disk, SectorSize + 16, Crc32(&Disk[SectorSize], 92), 4);
}

std::vector<UINT8> MbrDisk(UINT32 Signature, UINT64 Sectors,
                           const std::vector<FakePartition> &Parts) {
  std::vector<UINT8> Disk(512 * Sectors);
  Put(Disk, 440, Signature, 4);
  for (size_t N = 0; N < Parts.size(); N++) {
    PutMbrEntry(Disk, (int)N, Parts[N].Esp ? 0xEF : 0x83, Parts[N].First,
                Parts[N].Last - Parts[N].First + 1);
    if (Parts[N].Fat) PutFatBootSector(Disk, Parts[N].First * 512);
  }
  return Disk;
}

void AddFakeDisk(const FakeTree &Tree, const std::string &Disk, UINT32 SectorSize,
                 const std::vector<UINT8> &Bytes, const std::vector<FakePartition> &Parts) {
  std::string Sys = "/sys/class/block/" + Disk;
  UINT64 Scale = SectorSize / 512;
  Tree.Write(Sys + "/size", std::to_string(Bytes.size() / 512) + "\n");
  // A major number no real device has here: a partition's numbers never
  // meet those of the file system the tree is on, unless mounted below.
  Tree.Write(Sys + "/dev", "4094:0\n");
  Tree.Write(Sys + "/queue/logical_block_size", std::to_string(SectorSize) + "\n");
  for (size_t N = 0; N < Parts.size(); N++) {
    std::string Part = Sys + "/" + Disk + std::to_string(N + 1);
    Tree.Write(Part + "/partition", std::to_string(N + 1) + "\n");
    Tree.Write(Part + "/start", std::to_string(Parts[N].First * Scale) + "\n");
    Tree.Write(Part + "/size", std::to_string((Parts[N].Last - Parts[N].First + 1) * Scale) + "\n");
    Tree.Write(Part + "/dev", "4094:" + std::to_string(N + 1) + "\n");
  }
  Tree.Write("/dev/" + Disk, Bytes);
}

std::string MountFakePartition(const FakeTree &Tree, const std::string &Disk,
                               const std::string &Partition, const std::string &MountPoint) {
  Tree.Write("/sys/class/block/" + Disk + "/" + Partition + "/dev", Tree.Numbers() + "\n");
  return "31 22 " + Tree.Numbers() + " / " + MountPoint + " rw - vfat /dev/" + Partition + " rw\n";
}

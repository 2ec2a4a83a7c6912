// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/partition_table.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#define MBR_SIGNATURE_OFFSET 510
#define MBR_ENTRIES_OFFSET 446
#define MBR_DISK_SIGNATURE_OFFSET 440
#define MBR_TYPE_PROTECTIVE 0xEE
#define MBR_TYPE_SYSTEM 0xEF
#define GPT_HEADER_MIN_BYTES 92
#define GPT_ENTRY_MIN_BYTES 128
// Far above the 128 entries of 128 bytes that every tool writes: a count
// beyond it is a corrupt header, not a table to read.
#define GPT_ENTRIES_MAX_BYTES (1u << 20)

static const UINT8 SystemPartitionType[16] = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                              0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};

static UINT32 Little32(const UINT8 *At) {
  return (UINT32)At[0] | (UINT32)At[1] << 8 | (UINT32)At[2] << 16 | (UINT32)At[3] << 24;
}
static UINT64 Little64(const UINT8 *At) { return Little32(At) | (UINT64)Little32(At + 4) << 32; }

static UINT32 Crc32(const UINT8 *Bytes, size_t Count) {
  UINT32 Crc = 0xFFFFFFFFu;
  for (size_t I = 0; I < Count; I++) {
    Crc ^= Bytes[I];
    for (int Bit = 0; Bit < 8; Bit++) Crc = (Crc >> 1) ^ (0xEDB88320u & (0u - (Crc & 1)));
  }
  return ~Crc;
}

// All Count bytes at Offset, or false: a short read is a disk cut short.
static bool ReadExactly(int Disk, UINT64 Offset, std::vector<UINT8> *Bytes, size_t Count) {
  Bytes->assign(Count, 0);
  size_t Done = 0;
  while (Done < Count) {
    ssize_t Got = pread(Disk, Bytes->data() + Done, Count - Done, (off_t)(Offset + Done));
    if (Got <= 0) return false;
    Done += (size_t)Got;
  }
  return true;
}

// The disk's size in sectors: lseek finds a block device's end, where
// fstat says 0.
static UINT64 DiskSectors(int Disk, UINT32 SectorSize) {
  off_t End = lseek(Disk, 0, SEEK_END);
  return End <= 0 ? 0 : (UINT64)End / SectorSize;
}

static std::string ReadMbrEntry(const std::vector<UINT8> &Mbr, UINT32 Number,
                                PartitionPlace *Place) {
  if (Number < 1 || Number > 4) {
    return "MBR partition " + std::to_string(Number) + " is a logical partition, not supported";
  }
  const UINT8 *Entry = &Mbr[MBR_ENTRIES_OFFSET + 16 * (Number - 1)];
  if (Entry[4] == 0 || Little32(Entry + 12) == 0) {
    return "MBR entry " + std::to_string(Number) + " is empty";
  }
  *Place = {};
  Place->Number = Number;
  Place->Start = Little32(Entry + 8);
  Place->Size = Little32(Entry + 12);
  std::memcpy(Place->Signature, &Mbr[MBR_DISK_SIGNATURE_OFFSET], 4);
  Place->TableType = 1;
  Place->SystemPartition = Entry[4] == MBR_TYPE_SYSTEM;
  return "";
}

static std::string CheckGptHeader(const std::vector<UINT8> &Header, UINT32 SectorSize) {
  if (std::memcmp(Header.data(), "EFI PART", 8) != 0) return "no GPT header after a protective MBR";
  UINT32 HeaderSize = Little32(&Header[12]);
  if (HeaderSize < GPT_HEADER_MIN_BYTES || HeaderSize > SectorSize)
    return "GPT header size is wrong";
  std::vector<UINT8> Zeroed(Header.begin(), Header.begin() + HeaderSize);
  std::memset(&Zeroed[16], 0, 4);
  if (Crc32(Zeroed.data(), HeaderSize) != Little32(&Header[16]))
    return "GPT header checksum is wrong";
  if (Little64(&Header[24]) != 1) return "GPT header is not at sector 1";
  return "";
}

static std::string ReadGptEntry(int Disk, UINT32 SectorSize, UINT32 Number, PartitionPlace *Place) {
  std::vector<UINT8> Header;
  if (!ReadExactly(Disk, SectorSize, &Header, SectorSize)) return "GPT header cut short";
  std::string Problem = CheckGptHeader(Header, SectorSize);
  if (!Problem.empty()) return Problem;
  UINT64 EntriesAt = Little64(&Header[72]);
  UINT32 Count = Little32(&Header[80]);
  UINT32 EntrySize = Little32(&Header[84]);
  if (EntrySize < GPT_ENTRY_MIN_BYTES || EntrySize % 8 != 0 ||
      (UINT64)Count * EntrySize > GPT_ENTRIES_MAX_BYTES) {
    return "GPT entry array size is wrong";
  }
  // Every sector number is checked against the disk before it is
  // multiplied: the array after the header, the usable sectors inside.
  UINT64 Sectors = DiskSectors(Disk, SectorSize);
  UINT64 ArraySectors = ((UINT64)Count * EntrySize + SectorSize - 1) / SectorSize;
  if (EntriesAt < 2 || EntriesAt >= Sectors) return "GPT entry array lies outside the disk";
  std::vector<UINT8> Entries;
  if (ArraySectors > Sectors - EntriesAt ||
      !ReadExactly(Disk, EntriesAt * SectorSize, &Entries, (size_t)Count * EntrySize)) {
    return "GPT entry array cut short";
  }
  UINT64 FirstUsable = Little64(&Header[40]);
  UINT64 LastUsable = Little64(&Header[48]);
  if (FirstUsable > LastUsable || LastUsable >= Sectors)
    return "GPT usable sectors lie outside the disk";
  if (Crc32(Entries.data(), Entries.size()) != Little32(&Header[88])) {
    return "GPT entry array checksum is wrong";
  }
  if (Number < 1 || Number > Count) return "GPT has no entry " + std::to_string(Number);
  const UINT8 *Entry = &Entries[(size_t)(Number - 1) * EntrySize];
  static const UINT8 Unused[16] = {};
  UINT64 First = Little64(Entry + 32);
  UINT64 Last = Little64(Entry + 40);
  if (std::memcmp(Entry, Unused, 16) == 0)
    return "GPT entry " + std::to_string(Number) + " is empty";
  if (Last < First) return "GPT entry " + std::to_string(Number) + " ends before it starts";
  *Place = {};
  Place->Number = Number;
  Place->Start = First;
  Place->Size = Last - First + 1;
  std::memcpy(Place->Signature, Entry + 16, 16);  // already the node's byte order
  Place->TableType = 2;
  Place->SystemPartition = std::memcmp(Entry, SystemPartitionType, 16) == 0;
  return "";
}

std::string ReadPartitionPlace(int Disk, UINT32 SectorSize, UINT32 Number, PartitionPlace *Place) {
  std::vector<UINT8> Mbr;
  if (SectorSize < 512 || !ReadExactly(Disk, 0, &Mbr, 512)) return "first sector cut short";
  if (Mbr[MBR_SIGNATURE_OFFSET] != 0x55 || Mbr[MBR_SIGNATURE_OFFSET + 1] != 0xAA) {
    return "no partition table (no MBR signature)";
  }
  for (int I = 0; I < 4; I++) {
    if (Mbr[MBR_ENTRIES_OFFSET + 16 * I + 4] == MBR_TYPE_PROTECTIVE) {
      return ReadGptEntry(Disk, SectorSize, Number, Place);
    }
  }
  return ReadMbrEntry(Mbr, Number, Place);
}

std::string CheckAgainstKernel(const PartitionPlace &Place, UINT32 SectorSize, UINT64 KernelStart,
                               UINT64 KernelSize) {
  UINT64 Scale = SectorSize / 512;
  if (Place.Start * Scale != KernelStart || Place.Size * Scale != KernelSize) {
    return "the partition table and the kernel disagree on where partition " +
           std::to_string(Place.Number) + " lies";
  }
  return "";
}

static void Put(std::vector<UINT8> *Bytes, UINT64 Value, int Count) {
  for (int I = 0; I < Count; I++) Bytes->push_back((UINT8)(Value >> (8 * I)));
}

std::vector<UINT8> HardDriveNodeBytes(const PartitionPlace &Place) {
  std::vector<UINT8> Bytes = {MEDIA_DEVICE_PATH, MEDIA_HARDDRIVE_DP, 42, 0};
  Put(&Bytes, Place.Number, 4);
  Put(&Bytes, Place.Start, 8);
  Put(&Bytes, Place.Size, 8);
  Bytes.insert(Bytes.end(), Place.Signature, Place.Signature + 16);
  Bytes.push_back(Place.TableType);
  Bytes.push_back(Place.TableType);  // GUID signature on GPT, 32-bit one on MBR: same numbers
  return Bytes;
}

std::u16string HardDriveNodeText(const PartitionPlace &Place) {
  char Text[128];
  const UINT8 *S = Place.Signature;
  if (Place.TableType == 2) {
    std::snprintf(Text, sizeof Text,
                  "HD(%u,GPT,%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X,0x%llX,0x%llX)",
                  Place.Number, Little32(S), S[4] | S[5] << 8, S[6] | S[7] << 8, S[8], S[9], S[10],
                  S[11], S[12], S[13], S[14], S[15], (unsigned long long)Place.Start,
                  (unsigned long long)Place.Size);
  } else {
    std::snprintf(Text, sizeof Text, "HD(%u,MBR,0x%08X,0x%llX,0x%llX)", Place.Number, Little32(S),
                  (unsigned long long)Place.Start, (unsigned long long)Place.Size);
  }
  return std::u16string(Text, Text + std::strlen(Text));
}

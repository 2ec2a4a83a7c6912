// SPDX-License-Identifier: BSD-2-Clause-Patent
// The Linux firmware's HD() nodes, read from partition tables built by the
// layout rules: right for every table it accepts, and a clear refusal, never
// a wrong node, for every table it cannot trust.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "fake_linux.h"
#include "linux/partition_table.h"

static const std::vector<FakePartition> TwoParts = {{34, 2081, true, true},
                                                    {2082, 4095, false, false}};
static const std::vector<FakePartition> BigSectorParts = {{6, 261, true, true}};

static std::string ReadFromDisk(const std::vector<UINT8> &Disk, UINT32 SectorSize, UINT32 Number,
                                PartitionPlace *Place) {
  FakeTree Tree;
  Tree.Write("/disk", Disk);
  int Fd = open((Tree.Root + "/disk").c_str(), O_RDONLY);
  std::string Problem = ReadPartitionPlace(Fd, SectorSize, Number, Place);
  close(Fd);
  return Problem;
}

struct GoodTable {
  const char *Name;
  std::vector<UINT8> Disk;
  UINT32 SectorSize, Number;
  const char16_t *Text;
  bool Esp;
};

TEST(LinuxPartitionTable, NodeIsTheFirmwaresForEveryTableItAccepts) {
  const GoodTable Cases[] = {
      {"GPT ESP", GptDisk(512, 4096, TwoParts), 512, 1,
       u"HD(1,GPT,13121110-1514-1716-1819-1A1B1C1D1E1F,0x22,0x800)", true},
      {"GPT second", GptDisk(512, 4096, TwoParts), 512, 2,
       u"HD(2,GPT,23222120-2524-2726-2829-2A2B2C2D2E2F,0x822,0x7DE)", false},
      {"GPT, 4096-byte sectors", GptDisk(4096, 512, BigSectorParts), 4096, 1,
       u"HD(1,GPT,13121110-1514-1716-1819-1A1B1C1D1E1F,0x6,0x100)", true},
      {"MBR ESP", MbrDisk(0x1234ABCD, 4096, TwoParts), 512, 1, u"HD(1,MBR,0x1234ABCD,0x22,0x800)",
       true},
      {"MBR second", MbrDisk(0x1234ABCD, 4096, TwoParts), 512, 2,
       u"HD(2,MBR,0x1234ABCD,0x822,0x7DE)", false},
  };
  for (const GoodTable &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    PartitionPlace Place;
    ASSERT_EQ(ReadFromDisk(Case.Disk, Case.SectorSize, Case.Number, &Place), "");
    EXPECT_EQ(HardDriveNodeText(Place), Case.Text);
    EXPECT_EQ(Place.SystemPartition, Case.Esp);
    // The node's bytes, laid out here field by field.
    std::vector<UINT8> Node = {4, 1, 42, 0, (UINT8)Case.Number, 0, 0, 0};
    for (UINT64 Field : {Place.Start, Place.Size}) {
      for (int I = 0; I < 8; I++) Node.push_back((UINT8)(Field >> (8 * I)));
    }
    bool Gpt = Place.TableType == 2;
    for (int I = 0; I < 16; I++) {
      Node.push_back(Gpt     ? FakeGuidByte(Case.Number, I)
                     : I < 4 ? (UINT8)(0x1234ABCD >> (8 * I))
                             : 0);
    }
    Node.insert(Node.end(), {(UINT8)(Gpt ? 2 : 1), (UINT8)(Gpt ? 2 : 1)});
    EXPECT_EQ(HardDriveNodeBytes(Place), Node);
  }
}

struct BadTable {
  const char *Name;
  std::function<void(std::vector<UINT8> &)> Spoil;  // on a 512-byte GPT disk of two partitions
  UINT32 SectorSize, Number;
  const char *Problem;
};

TEST(LinuxPartitionTable, TableItCannotTrustGivesReasonNotNode) {
  const BadTable Cases[] = {
      {"no table at all", [](auto &D) { D.assign(D.size(), 0); }, 512, 1,
       "no partition table (no MBR signature)"},
      {"first sector cut short", [](auto &D) { D.resize(300); }, 512, 1, "first sector cut short"},
      {"header cut short", [](auto &D) { D.resize(700); }, 512, 1, "GPT header cut short"},
      {"no header", [](auto &D) { D[512] = 'X'; }, 512, 1, "no GPT header after a protective MBR"},
      {"header checksum", [](auto &D) { D[512 + 40]++; }, 512, 1, "GPT header checksum is wrong"},
      {"entry array cut short", [](auto &D) { D.resize(4 * 512); }, 512, 1,
       "GPT entry array cut short"},
      // Sector numbers past the disk: the kernel refuses such a header and
      // reads the backup, whose entries may be others.
      {"entry array past the disk, its offset wrapping to sector 2",
       [](auto &D) { PutGptHeaderField(D, 512, 72, 0x80000000000002ull); }, 512, 1,
       "GPT entry array lies outside the disk"},
      {"entry array in the header's sector", [](auto &D) { PutGptHeaderField(D, 512, 72, 1); }, 512,
       1, "GPT entry array lies outside the disk"},
      {"entry array running past the end", [](auto &D) { PutGptHeaderField(D, 512, 72, 4090); },
       512, 1, "GPT entry array cut short"},
      {"last usable sector past the disk", [](auto &D) { PutGptHeaderField(D, 512, 48, 4096); },
       512, 1, "GPT usable sectors lie outside the disk"},
      {"first usable after the last",
       [](auto &D) {
         PutGptHeaderField(D, 512, 40, 4000);
         PutGptHeaderField(D, 512, 48, 3999);
       },
       512, 1, "GPT usable sectors lie outside the disk"},
      {"entry checksum", [](auto &D) { D[1024 + 32]++; }, 512, 1,
       "GPT entry array checksum is wrong"},
      {"empty entry", [](auto &) {}, 512, 3, "GPT entry 3 is empty"},
      {"entry beyond the array", [](auto &) {}, 512, 129, "GPT has no entry 129"},
      {"512-byte sectors read as 4096", [](auto &) {}, 4096, 1,
       "no GPT header after a protective MBR"},
      {"MBR: empty entry", [](auto &D) { D = MbrDisk(1, 4096, TwoParts); }, 512, 3,
       "MBR entry 3 is empty"},
      {"MBR: logical partition", [](auto &D) { D = MbrDisk(1, 4096, TwoParts); }, 512, 5,
       "MBR partition 5 is a logical partition, not supported"},
  };
  for (const BadTable &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::vector<UINT8> Disk = GptDisk(512, 4096, TwoParts);
    Case.Spoil(Disk);
    PartitionPlace Place;
    EXPECT_EQ(ReadFromDisk(Disk, Case.SectorSize, Case.Number, &Place), Case.Problem);
  }
}

// sysfs counts in 512-byte units whatever the disk's sector: a reader that
// forgot the scale would call a 4096-byte disk's table wrong, or accept a
// table that names another partition.
TEST(LinuxPartitionTable, KernelConfirmsPlaceInItsOwnUnits) {
  PartitionPlace Place = {1, 6, 256, {}, 2, true};
  EXPECT_EQ(CheckAgainstKernel(Place, 4096, 48, 2048), "");
  EXPECT_NE(CheckAgainstKernel(Place, 4096, 6, 256), "");
  EXPECT_NE(CheckAgainstKernel(Place, 512, 48, 2048), "");
  EXPECT_NE(CheckAgainstKernel(Place, 4096, 48, 2040), "");
}

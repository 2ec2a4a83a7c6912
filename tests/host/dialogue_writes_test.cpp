// SPDX-License-Identifier: BSD-2-Clause-Patent
// The whole dialogue through the entry point: the record that the earlier
// steps build is what lands in the new Boot####.
#include "session.h"

static std::string AfterRecordSize(const std::string &Screen) {
  const std::string Marker = " bytes (hexadecimal).\r\n";
  size_t At = Screen.find(Marker);
  return At == std::string::npos ? Screen : Screen.substr(At + Marker.size());
}

// Boot0002, an earlier entry for the same loader under another name, is
// named before the question; the new entry is written all the same.
TEST(WholeDialogue, TypicalRunAddsTheEntryAfterTheFirmwaresOwn) {
  SimFirmware Fw;
  AddTypicalMachine(Fw);
  SimVariableStore &Vars = VariablesOf(Fw);
  const SimPath Short = EspShortForm();
  Vars.Put(u"BootOrder", 7, OptionNumberBytes({0, 1, 2}));
  for (UINT16 N : {0, 1}) Vars.Put(OptionName(N), 7, {(UINT8)(0xB0 + N)});
  Vars.Put(u"Boot0002", 7, RecordBytes(Short.size(), u"Earlier", Short));
  SimVariableMap Expected = Vars.Entries;
  RunToClosingPrompt(Fw, TypicalSession("0", "Mine") + "y");
  EXPECT_EQ(AfterRecordSize(Fw.Screen()), DuplicateWarning("Boot0002", "Earlier") +
                                              Announcement("Boot0003") + SuccessLine +
                                              ClosingPrompt);
  Expected[GlobalKey(u"Boot0003")] = {7, RecordBytes(Short.size(), u"Mine", Short)};
  Expected[GlobalKey(u"BootOrder")] = {7, OptionNumberBytes({0, 1, 2, 3})};
  EXPECT_TRUE(Vars.Entries == Expected);
}

TEST(WholeDialogue, RefusalOnAnEmptyStoreWritesNothing) {
  SimFirmware Fw;
  AddTypicalMachine(Fw);
  RunToClosingPrompt(Fw, TypicalSession() + "n");
  EXPECT_EQ(AfterRecordSize(Fw.Screen()),
            NeedToCreate + Announcement("Boot0000") + AbortReport + ClosingPrompt);
  EXPECT_TRUE(VariablesOf(Fw).Entries.empty());
  EXPECT_TRUE(VariablesOf(Fw).Writes.empty());
}

// U-Boot keeps variables in a file on the ESP and takes a write without one,
// so the user is warned when no listed volume carries the ESP mark; any
// listed volume may carry it, not only the first or the loader's.
TEST(WholeDialogue, AWarningPrecedesTheConfirmationOnlyWhenNoListedVolumeIsAnEsp) {
  struct EspCase {
    const char *Name;
    bool EspListed;  // a second volume, after the loader's, marked as the ESP
  };
  const EspCase Cases[] = {{"no ESP listed", false}, {"ESP listed second", true}};
  for (const EspCase &Case : Cases) {
    SimFirmware Fw;
    AddVolume(Fw, DiskPath + DataHardDrive + EndNode(), u"HD(2,MBR)", {LoaderPath});
    if (Case.EspListed) {
      MarkSystemPartition(Fw, AddVolume(Fw, DiskPath + EspHardDrive + EndNode(), u"HD(1,MBR)"));
    }
    RunToClosingPrompt(Fw, TypicalSession() + "y");
    std::string Warning =
        "{ERROR}Warning: no listed volume is an EFI System Partition; firmware that keeps\r\n"
        "its variables on one (U-Boot) may lose this entry at the next start.\r\n{NORMAL}";
    EXPECT_EQ(AfterRecordSize(Fw.Screen()), NeedToCreate + (Case.EspListed ? "" : Warning) +
                                                Announcement("Boot0000") + SuccessLine +
                                                ClosingPrompt)
        << Case.Name;
    EXPECT_EQ(VariablesOf(Fw).Entries.size(), 2u) << Case.Name;
  }
}

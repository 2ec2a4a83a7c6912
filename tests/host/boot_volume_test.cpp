// SPDX-License-Identifier: BSD-2-Clause-Patent
// Step 2 as the user sees it: the BVSRD questions, the FAT Boot Volume by the
// volume numbers, the partition list with true Block I/O positions, the FS
// type code, and every report of the step.
#include <gtest/gtest.h>

#include "session.h"

static const std::string HomePrompt =
    "\r\nEnter the index for Home Volume (Loader home): {HIGHLIGHT}0{NORMAL}\r\n";
static const std::string BvsrdQuestion =
    "== Do you want to create Boot Volume System Root Descriptor (BVSRD)?\r\n"
    "Type \"Y/y\" for \"yes\": ";
static const std::string PlacementQuestion =
    "==== Should BVSRD be stored as FilePathList[1] or Optional Data (default)?\r\n"
    "\"y\" for storing as \"FilePathList[1]\": ";
static const std::string FatQuestion =
    "==== Is Boot Volume (OS home) going to be FAT formatted? \"y\" for \"yes\": ";
static const std::string PartitionPrompt =
    "\r\nType the exact index as you see it highlighted for Boot Volume: ";
static const std::string FsTypePrompt =
    "Tell the BV's FS type (you must know it). Setting FAT (0)\r\n"
    "now is wrong. This was handled above and if you're here,you've picked a non-FAT volume. "
    "Only valid values are:\r\n1 - KFS, 2 - WFS, 3 - QFS: ";

enum class Expect { None, Esp, Data, Os };

struct OutcomeCase {
  const char *Name;
  std::string Step2;
  Expect BootVolume;
  bool FromBlockIo;
  BOOLEAN AsFilePath;
  UINT16 FsTypeCode;
};

// The three outcomes of the State and lifecycle table, and the record each
// one leads to, FS type codes included.
TEST(BootVolume, EachAnswerLeadsToItsOutcomeAndRecord) {
  const OutcomeCase Cases[] = {
      {"n declines", "n", Expect::None, false, FALSE, 0},
      {"Enter declines", "\r", Expect::None, false, FALSE, 0},
      {"any other key declines", "j", Expect::None, false, FALSE, 0},
      {"FAT, OptionalData", "yny1\r", Expect::Data, false, FALSE, 0x0000},
      {"FAT, Enter at the placement is OptionalData", "Y\rY1\r", Expect::Data, false, FALSE, 0},
      {"FAT, FilePathList[1]", "YYy1\r", Expect::Data, false, TRUE, 0x0000},
      {"FAT, the Home Volume itself", "yny0\r", Expect::Esp, false, FALSE, 0x0000},
      {"partition, OptionalData, KFS", "ynn3\r1\r", Expect::Os, true, FALSE, 0x2000},
      {"partition, FilePathList[1], WFS, Enter at FAT", "yy\r3\r2\r", Expect::Os, true, TRUE,
       0x4000},
      {"partition, FS type 0 is accepted", "ynn3\r0\r", Expect::Os, true, FALSE, 0x0000},
      {"partition, FS type 4 retried as QFS", "ynn3\r4\ry3\r", Expect::Os, true, FALSE, 0x6000},
      // A position left out of the list is accepted: here a FAT volume's.
      {"partition question, a listed volume's position", "ynn1\r3\r", Expect::Esp, true, FALSE,
       0x6000},
  };
  for (const OutcomeCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    SimFirmware Fw;
    Machine M = AddBootMachine(Fw);
    bool Declined = Case.BootVolume == Expect::None;
    DialogueRun Run = RunDialogueSteps(Fw, BootSession(Case.Step2, Declined ? "" : "\r") + "n");
    EXPECT_EQ(Run.BlockIoHeld, Case.FromBlockIo);
    EXPECT_EQ(CallsOf(Fw, SimCall::LocateHandleBuffer), Case.FromBlockIo ? 2u : 1u);
    EXPECT_EQ(Run.State.BvsrdAsFilePath, Case.AsFilePath);
    const SimPath Home = EspShortForm();
    if (Declined) {
      EXPECT_EQ(Run.State.bootvolh, nullptr);
      EXPECT_EQ(Run.Screen.find("System Root Path"), std::string::npos);
      EXPECT_EQ(Run.Record, RecordBytes(Home.size(), u"Unnamed", Home));
      continue;
    }
    const SimPath HardDrives[] = {{}, EspHardDrive, DataHardDrive, OsHardDrive};
    const EFI_HANDLE Handles[] = {nullptr, M.Esp, M.Data, M.Os};
    int Which = (int)Case.BootVolume;
    EXPECT_EQ(Run.State.bootvolh, Handles[Which]);
    EXPECT_EQ(Run.State.FsTypeCode, Case.FsTypeCode);
    SimPath Boot = BootShortForm(HardDrives[Which]);
    EXPECT_EQ(Run.BootShort, Boot);
    UINT16 Listed = (UINT16)(Home.size() + (Case.AsFilePath ? Boot.size() : 0));
    EXPECT_EQ(Run.Record, RecordBytes(Listed, u"Unnamed", Home, Boot, Case.FsTypeCode));
  }
}

// No list is shown again for a FAT Boot Volume: the volume numbers serve.
TEST(BootVolume, FatQuestionsAsTheUserSeesThem) {
  SimFirmware Fw;
  AddBootMachine(Fw);
  DialogueRun Run = RunDialogueSteps(Fw, BootSession("yny1\r") + "n");
  EXPECT_NE(Run.Screen.find(HomePrompt + BvsrdQuestion + "y\r\n" + PlacementQuestion + "n\r\n" +
                            FatQuestion + "y\r\n" +
                            "Enter the index as you see it highlighted for Boot Volume: " +
                            Typed("1") + "Now, type Description:\r\n"),
            std::string::npos)
      << Run.Screen;
}

// The volume that showed the failure line in the first list can be typed at
// the FAT question; its device path then fails to open once more.
TEST(BootVolume, FatVolumeWithoutDevicePathIsAcceptedThenFails) {
  SimFirmware Fw;
  AddTypicalMachine(Fw);
  AddVolume(Fw, SimPath(), u"unused");
  DialogueRun Run = RunDialogueSteps(Fw, "0\ryny2\r");
  EXPECT_NE(Run.Screen.find(ListLine + "8000000000000003\r\n"), std::string::npos);
  EXPECT_TRUE(EndsWith(Run.Screen, FatQuestion + "y\r\n" +
                                       "Enter the index as you see it highlighted for Boot "
                                       "Volume: " +
                                       Typed("2") +
                                       "{ERROR}E: on opening Device Path on bootvolh, S: "
                                       "8000000000000003\r\n" +
                                       ClosingPrompt))
      << Run.Screen;
}

// Block I/O positions: 0 whole disk, 1 ESP, 2 no device path, 3 the OS
// partition, 4 the FAT data volume, 5 a partition whose text is NULL. Only 3
// is shown, under its true position, and the two volumes are left out
// without their paths being opened. The limit is the count of all six.
TEST(BootVolume, PartitionListShowsTruePositionsAndLeavesOutTheRest) {
  SimFirmware Fw;
  AddBlockDevice(Fw, DiskPath + EndNode(), u"PciRoot(0x0)/Pci(0x1,0x0)");
  AddVolume(Fw, DiskPath + EspHardDrive + EndNode(), u"ESP", {LoaderPath});
  AddBlockDevice(Fw, SimPath(), u"unused");
  AddBlockDevice(Fw, DiskPath + OsHardDrive + EndNode(), u"OS");
  AddVolume(Fw, DiskPath + DataHardDrive + EndNode(), u"DATA");
  AddBlockDevice(Fw, DiskPath + HardDriveNode(4, 0x62800, 0x800) + EndNode(), u"HIDDEN");
  Fw.FailCall(SimCall::ConvertDevicePathToText, 4, EFI_OUT_OF_RESOURCES);
  DialogueRun Run = RunDialogueSteps(Fw, "0\rynn6\rn");
  EXPECT_TRUE(EndsWith(Run.Screen, FatQuestion + "n\r\n" + ListLine + "8000000000000003\r\n" +
                                       "\r\n[{HIGHLIGHT}3{NORMAL}]:OS" + PartitionPrompt +
                                       Typed("6") + Retry +
                                       "n\r\n{ERROR}E: user fail in picking Boot Volume, S: "
                                       "8000000000000006\r\n" +
                                       ClosingPrompt))
      << Run.Screen;
  // Step 1: two volumes listed and the Home Volume. Step 2: positions 0, 2, 3, 5.
  EXPECT_EQ(CallsOf(Fw, SimCall::OpenProtocol), 3u + 4u);
  EXPECT_EQ(CallsOf(Fw, SimCall::ConvertDevicePathToText), 2u + 2u);
}

// A partition whose text is NULL is counted: no empty-list report, and its
// number is accepted though it was never shown.
TEST(BootVolume, PartitionWithoutTextCanStillBeChosen) {
  SimFirmware Fw;
  Machine M = AddBootMachine(Fw);
  Fw.FailCall(SimCall::ConvertDevicePathToText, 3, EFI_OUT_OF_RESOURCES);
  DialogueRun Run = RunDialogueSteps(Fw, BootSession("ynn3\r2\r") + "n");
  EXPECT_NE(Run.Screen.find(FatQuestion + "n\r\n" + PartitionPrompt + Typed("3") + FsTypePrompt +
                            Typed("2") + "Now, type Description:"),
            std::string::npos)
      << Run.Screen;
  EXPECT_EQ(Run.State.bootvolh, M.Os);
  EXPECT_EQ(Run.State.FsTypeCode, 0x4000);
}

struct BootFailure {
  const char *Name;
  bool WithOsPartition;
  SimCall Call;  // SimCall::Count: no fault, the keys alone lead there
  unsigned Nth;
  EFI_STATUS Status;
  std::string Step2;
  std::string ScreenEnd;  // before the closing prompt
};

TEST(BootVolume, EveryFailureIsReportedAndEndsCleanly) {
  const BootFailure Cases[] = {
      {"FAT choice declined", true, SimCall::Count, 0, 0, "yny2\rn",
       "Boot Volume: " + Typed("2") + Retry +
           "n\r\n{ERROR}E: user fail to pick the Boot Volume, S: 8000000000000006\r\n"},
      {"partition choice declined", true, SimCall::Count, 0, 0, "ynn4\rn",
       PartitionPrompt + Typed("4") + Retry +
           "n\r\n{ERROR}E: user fail in picking Boot Volume, S: 8000000000000006\r\n"},
      {"FS type declined", true, SimCall::Count, 0, 0, "ynn3\r4\rn",
       FsTypePrompt + Typed("4") + Retry +
           "n\r\n{ERROR}E: user fail in setting FS type, S: 8000000000000006\r\n"},
      {"no block device", true, SimCall::LocateHandleBuffer, 2, EFI_NOT_FOUND, "ynn",
       FatQuestion + "n\r\n{ERROR}E: locating handles with BIOP, S: 800000000000000E\r\n"},
      {"no partition qualifies", false, SimCall::Count, 0, 0, "ynn",
       FatQuestion + "n\r\n{ERROR}E: you chose non-FAT volume, but there is no such. Make sure "
                     "you have one.\r\n"},
      // Step 1 opens three device paths; the partition list two (0 and 3).
      {"partition's path fails to open", true, SimCall::OpenProtocol, 6, EFI_ACCESS_DENIED,
       "ynn3\r1\r",
       Typed("1") + "{ERROR}E: on opening Device Path on bootvolh, S: 800000000000000F\r\n"},
  };
  for (const BootFailure &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    SimFirmware Fw;
    AddBootMachine(Fw, Case.WithOsPartition);
    if (Case.Call != SimCall::Count) Fw.FailCall(Case.Call, Case.Nth, Case.Status);
    DialogueRun Run = RunDialogueSteps(Fw, "0\r" + Case.Step2);
    EXPECT_TRUE(EndsWith(Run.Screen, Case.ScreenEnd + ClosingPrompt)) << Run.Screen;
  }
}

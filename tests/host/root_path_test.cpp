// SPDX-License-Identifier: BSD-2-Clause-Patent
// Step 5 and the BVSRD in the record: the system root path and its default,
// the Boot Volume's short form, the two placements, and step 5's reports.
#include <gtest/gtest.h>

#include "session.h"

static const std::string RootPrompt = "Now, type System Root Path (default is \"Ixo\"):\r\n";

struct RootCase {
  std::string Keys;  // the keys typed at the root prompt, Enter included
  std::u16string Stored;
  SimPath Header;
};

// Enter alone and "Ixo" typed give the same node; 31 characters fill it and
// the 32nd key ends input without being kept.
TEST(RootPath, DefaultAndTypedPathsGiveTheirNodes) {
  const std::string Longest(31, 'r');
  const RootCase Cases[] = {
      {"\r", u"Ixo", {0x04, 0x04, 0x0C, 0x00}},
      {"Ixo\r", u"Ixo", {0x04, 0x04, 0x0C, 0x00}},
      {"ABCD\b\b\b\b\r", u"Ixo", {0x04, 0x04, 0x0C, 0x00}},  // erased text under the default
      {"\\OS\\root\r", u"\\OS\\root", {0x04, 0x04, 0x16, 0x00}},
      {Longest + "X", std::u16string(31, u'r'), {0x04, 0x04, 0x44, 0x00}},
  };
  for (const RootCase &Case : Cases) {
    SCOPED_TRACE(Case.Keys);
    SimFirmware Fw;
    AddBootMachine(Fw);
    DialogueRun Run = RunDialogueSteps(Fw, BootSession("yny1\r", Case.Keys) + "n");
    EXPECT_NE(Run.Screen.find("Success!\r\n" + RootPrompt), std::string::npos) << Run.Screen;
    SimPath Node = FilePathNode(Case.Stored);
    EXPECT_EQ(SimPath(Node.begin(), Node.begin() + 4), Case.Header);
    EXPECT_EQ(BytesOf(&Run.State.RootNode, Node.size()), Node);
    SimPath Boot = BootShortForm(DataHardDrive, Case.Stored);
    EXPECT_EQ(Run.BootShort, Boot);
    EXPECT_EQ(Run.State.BootPath.ShortSize, Boot.size());
    const SimPath Home = EspShortForm();
    EXPECT_EQ(Run.Record, RecordBytes(Home.size(), u"Unnamed", Home, Boot));
  }
}

// Home path 0x40 bytes, Boot Volume path 0x3C (a hard-drive node is 42
// bytes): the record is 0x94 bytes in both placements, and only
// FilePathListLength tells them apart.
TEST(RootPath, BothPlacementsGiveTheSameBytesButTheListLength) {
  const SimPath Home = HardDriveNode(1, 0x800, 0x800) + FilePathNode(u"\\A.EFI") + EndNode();
  const SimPath Boot = HardDriveNode(2, 0x1000, 0x800) + FilePathNode(u"ROOT") + EndNode();
  ASSERT_EQ(Home.size(), 0x40u);
  ASSERT_EQ(Boot.size(), 0x3Cu);
  SimPath Records[2];
  for (int AsFilePath = 0; AsFilePath < 2; AsFilePath++) {
    SCOPED_TRACE(AsFilePath);
    SimFirmware Fw;
    AddVolume(Fw, DiskPath + HardDriveNode(1, 0x800, 0x800) + EndNode(), u"ESP", {u"\\A.EFI"});
    AddVolume(Fw, DiskPath + HardDriveNode(2, 0x1000, 0x800) + EndNode(), u"OS");
    std::string Placement = AsFilePath ? "y" : "n";
    DialogueRun Run =
        RunDialogueSteps(Fw, BootSession("y" + Placement + "y1\r", "ROOT\r", "\\A.EFI") + "n");
    EXPECT_NE(Run.Screen.find("The Load Option size: {HIGHLIGHT}94{NORMAL} bytes"),
              std::string::npos);
    Records[AsFilePath] = Run.Record;
    EXPECT_EQ(Run.Record, RecordBytes(AsFilePath ? 0x7C : 0x40, u"Unnamed", Home, Boot));
  }
  EXPECT_EQ(Records[0][4], 0x40);
  EXPECT_EQ(Records[1][4], 0x7C);
  Records[1][4] = 0x40;
  EXPECT_EQ(Records[0], Records[1]);
}

// The walk steps over an end-of-instance node: the partition is listed and
// its short form starts at the hard-drive node of the second instance.
TEST(RootPath, EndOfInstanceBeforeTheHardDriveNodeIsSteppedOver) {
  SimFirmware Fw;
  AddTypicalMachine(Fw);
  const SimPath OsPath = DiskPath + EndInstanceNode() + DiskPath + OsHardDrive + EndNode();
  EFI_HANDLE Os = AddBlockDevice(Fw, OsPath, u"TWO-INSTANCES");
  DialogueRun Run = RunDialogueSteps(Fw, BootSession("yyn2\r1\r") + "n");
  EXPECT_NE(Run.Screen.find("\r\n[{HIGHLIGHT}2{NORMAL}]:TWO-INSTANCES"), std::string::npos);
  EXPECT_EQ(Run.State.bootvolh, Os);
  SimPath Boot = BootShortForm(OsHardDrive);
  EXPECT_EQ(Run.BootShort, Boot);
  const SimPath Home = EspShortForm();
  EXPECT_EQ(Run.Record, RecordBytes(Home.size() + Boot.size(), u"Unnamed", Home, Boot, 0x2000));
}

struct RootFailure {
  const char *Name;
  SimCall Call;  // SimCall::Count: no fault, the keys alone lead there
  unsigned Nth;
  std::string Step2;
  std::string Report;
};

// Each failure still frees what step 4 and step 5 made (checked by the run).
TEST(RootPath, EveryFailureIsReportedAndEndsCleanly) {
  const RootFailure Cases[] = {
      {"AppendDeviceNode", SimCall::AppendDeviceNode, 2, "yny1\r",
       "E: fail on appending FilePathNode to the Boot Volume path.\r\n"},
      {"GetDevicePathSize", SimCall::GetDevicePathSize, 2, "yny1\r",
       "E: on getting device path size for bootvoldpfull\r\n"},
      // The whole disk is left out of the list but can be typed; its path
      // has no hard-drive node, so it has no short form.
      {"no hard-drive node", SimCall::Count, 0, "ynn0\r2\r",
       "E: on getting device path size for bootvoldpshort.\r\n"},
  };
  for (const RootFailure &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    SimFirmware Fw;
    AddBootMachine(Fw);
    if (Case.Call != SimCall::Count) Fw.FailCall(Case.Call, Case.Nth, EFI_OUT_OF_RESOURCES);
    DialogueRun Run = RunDialogueSteps(Fw, BootSession(Case.Step2));
    EXPECT_TRUE(EndsWith(Run.Screen,
                         "Success!\r\n" + RootPrompt + "\r\n{ERROR}" + Case.Report + ClosingPrompt))
        << Run.Screen;
  }
}

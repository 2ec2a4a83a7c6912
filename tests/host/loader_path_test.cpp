// SPDX-License-Identifier: BSD-2-Clause-Patent
// Steps 3 to 6 on the simulated machine: the loader's presence check, its
// full and short-form paths, every report on the way, and the record that
// the typical session builds.
#include <gtest/gtest.h>

#include "session.h"

static const char *TypicalRun =
    "Now, type Loader File Path:\r\n{HIGHLIGHT}\\EFI\\BOOT\\BOOTAA64.EFI{NORMAL}\r\n"
    "Checking {HIGHLIGHT}\\EFI\\BOOT\\BOOTAA64.EFI{NORMAL} for presence...\r\n"
    "Success!\r\n"
    "The Load Option size: {HIGHLIGHT}76{NORMAL} bytes (hexadecimal).\r\n";

TEST(LoaderPath, TypicalSessionBuildsTheRecordFromTheShortForm) {
  SimFirmware Fw;
  AddTypicalMachine(Fw);
  DialogueRun Run = RunDialogueSteps(Fw, TypicalSession() + "n");
  EXPECT_NE(Run.Screen.find(TypicalRun), std::string::npos) << Run.Screen;
  // The short form drops PciRoot (12 bytes) and Pci (6): HD, File Path, End.
  const SimPath Short = EspShortForm();
  EXPECT_EQ(Run.HomeShort, Short);
  EXPECT_EQ(Run.HomeShortAt, 18);
  EXPECT_EQ(Run.Record, RecordBytes(Short.size(), u"Unnamed", Short));
  EXPECT_EQ(Run.State.LoadOptionSize, 0x76u);
}

// 63 characters fill the node; the 64th key ends input without Enter and is
// not kept. Case, slashes and backslashes reach the firmware as typed.
TEST(LoaderPath, LongestPathGivesNodeLength84) {
  const std::string Path = "\\efi/Vendor\\" + std::string(40, 'L') + "\\Loader.EFI";
  ASSERT_EQ(Path.size(), 63u);
  const std::u16string Name(Path.begin(), Path.end());
  SimFirmware Fw;
  AddVolume(Fw, HardDriveNode(1, 0x800, 0x800) + EndNode(), u"HD(1)", {Name});
  DialogueRun Run = RunDialogueSteps(Fw, "0\rn\r" + Path + "Xn");
  EXPECT_EQ(Run.State.LoaderNode.Header.Length[0], 0x84);
  EXPECT_EQ(Run.State.LoaderNode.Header.Length[1], 0x00);
  EXPECT_EQ(Run.HomeShort, HardDriveNode(1, 0x800, 0x800) + FilePathNode(Name) + EndNode());
  EXPECT_FALSE(Run.Record.empty());
}

// A path that begins with its hard-drive node is its own short form; an empty
// loader path, if the firmware opens it, gives a node of Length 6.
TEST(LoaderPath, PathStartingAtTheHardDriveNodeIsItsOwnShortForm) {
  SimFirmware Fw;
  AddVolume(Fw, HardDriveNode(1, 0x800, 0x800) + EndNode(), u"HD(1)", {u""});
  DialogueRun Run = RunDialogueSteps(Fw, TypicalSession("0", "", "") + "n");
  EXPECT_EQ(Run.HomeShortAt, 0);
  EXPECT_EQ(Run.State.HomePath.ShortSize, 42u + 6 + 4);
  EXPECT_EQ(BytesOf(&Run.State.LoaderNode, 6), (SimPath{0x04, 0x04, 0x06, 0x00, 0x00, 0x00}));
}

TEST(LoaderPath, VolumeWithoutHardDriveNodeFailsAfterThePresenceCheck) {
  SimFirmware Fw;
  AddVolume(Fw, PciRootNode(0) + PciNode(3, 0) + EndNode(), u"VirtioFs", {LoaderPath});
  RunToClosingPrompt(Fw, TypicalSession());  // homevoldpfull freed, once
  EXPECT_TRUE(EndsWith(Fw.Screen(), "Success!\r\n{ERROR}E: on getting device path size for "
                                    "homevoldpshort.\r\n" +
                                        ClosingPrompt));
}

struct StepFailure {
  const char *Name;
  SimCall Call;  // SimCall::Count: no fault, the keys alone lead there
  unsigned Nth;
  EFI_STATUS Status;
  std::string Keys;
  std::string ScreenEnd;  // before the closing prompt
  // Given: the one volume, holding the loader, instead of the typical machine.
  SimPath Volume = {};
};

// Device paths that break the firmware's validity rule, on the Home Volume:
// an end node of 5 bytes, a node shorter than its header, a node that runs
// past the path's buffer. The firmware refuses to append to them.
static const SimPath LongEnd =
    HardDriveNode(1, 0x800, 0x800) + SimPath{0x7F, 0xFF, 5, 0, 0} + EndNode();
static const SimPath ShortNode =
    HardDriveNode(1, 0x800, 0x800) + SimPath{0x01, 0x01, 2, 0} + EndNode();
static const SimPath PastBuffer =
    HardDriveNode(1, 0x800, 0x800) + SimPath{0x01, 0x01, 0x40, 0} + EndNode();
static const char *AppendRefused =
    "Success!\r\n{ERROR}E: fail on appending FilePathNode to the Home Volume path.\r\n";

TEST(LoaderPath, EveryFailureIsReportedAndEndsCleanly) {
  const std::string Described = "0\rn\r";
  const StepFailure Cases[] = {
      {"DPTTP", SimCall::LocateProtocol, 1, EFI_NOT_FOUND, "",
       "supporting SFSP.{ERROR}E: locating DPTTP, S: 800000000000000E\r\n"},
      {"DPUP", SimCall::LocateProtocol, 2, EFI_NOT_FOUND, Described,
       "Now, type Description:\r\n\r\n{ERROR}E: locating DPUP, S: 800000000000000E\r\n"},
      // Two listing opens and the Home Volume's device path come first.
      {"SFSP", SimCall::OpenProtocol, 4, EFI_UNSUPPORTED, TypicalSession(),
       " for presence...\r\n{ERROR}E: Failed to open SFSP on the homevolh, S: "
       "8000000000000003\r\n"},
      {"OpenVolume", SimCall::OpenVolume, 1, EFI_NO_MEDIA, TypicalSession(),
       " for presence...\r\n{ERROR}E: Failed to OpenVolume on the Home Volume, S: "
       "800000000000000C\r\n"},
      {"not found", SimCall::Count, 0, 0, TypicalSession("0", "", "\\efi\\boot\\bootaa64.efi"),
       " for presence...\r\n{ERROR}E: The file, you specified is not found. Check File Path "
       "again and rerun.\r\n"},
      {"Open denied", SimCall::FileOpen, 1, EFI_ACCESS_DENIED, TypicalSession(),
       " for presence...\r\n{ERROR}E: Open file error, S: 800000000000000F\r\n"},
      {"Open warning", SimCall::FileOpen, 1, EFI_WARN_UNKNOWN_GLYPH, TypicalSession(),
       " for presence...\r\n{ERROR}E: Open file error, S: 0000000000000001\r\n"},
      {"AppendDeviceNode", SimCall::AppendDeviceNode, 1, EFI_OUT_OF_RESOURCES, TypicalSession(),
       "Success!\r\n{ERROR}E: fail on appending FilePathNode to the Home Volume path.\r\n"},
      {"end node of 5 bytes", SimCall::Count, 0, 0, TypicalSession(), AppendRefused, LongEnd},
      {"node of 2 bytes", SimCall::Count, 0, 0, TypicalSession(), AppendRefused, ShortNode},
      {"node past the buffer", SimCall::Count, 0, 0, TypicalSession(), AppendRefused, PastBuffer},
      {"GetDevicePathSize", SimCall::GetDevicePathSize, 1, EFI_INVALID_PARAMETER, TypicalSession(),
       "Success!\r\n{ERROR}E: on getting device path size for homevoldpfull.\r\n"},
      {"AllocatePool", SimCall::AllocatePool, 1, EFI_OUT_OF_RESOURCES, TypicalSession(),
       "Success!\r\n{ERROR}E: allocating for LoadOption, S: 8000000000000009\r\n"},
  };
  for (const StepFailure &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    SimFirmware Fw;
    if (Case.Volume.empty()) {
      AddTypicalMachine(Fw);
    } else {
      AddVolume(Fw, Case.Volume, u"V", {LoaderPath});
    }
    if (Case.Call != SimCall::Count) Fw.FailCall(Case.Call, Case.Nth, Case.Status);
    RunToClosingPrompt(Fw, Case.Keys);
    EXPECT_TRUE(EndsWith(Fw.Screen(), Case.ScreenEnd + ClosingPrompt)) << Fw.Screen();
    EXPECT_TRUE(VariablesOf(Fw).Writes.empty());
  }
}

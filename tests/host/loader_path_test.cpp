// Steps 3 to 6 on the simulated machine: the loader's presence check, its
// full and short-form paths, every report on the way, and the record that
// the typical session builds.
#include <gtest/gtest.h>

#include "app/dialogue.h"
#include "session.h"

// The dialogue's own state after the run, with its pool buffers still alive
// (the simulated firmware frees them when it goes).
static DialogState RunDialogueSteps(SimFirmware &Fw) {
  DialogState State = {};
  Fw.Call([&] { RunDialogue(&State); });
  return State;
}

static SimPath Bytes(const void *From, size_t Size) {
  const UINT8 *First = static_cast<const UINT8 *>(From);
  return SimPath(First, First + Size);
}

static const char *TypicalRun =
    "Now, type Loader File Path:\r\n{HIGHLIGHT}\\EFI\\BOOT\\BOOTAA64.EFI{NORMAL}\r\n"
    "Checking {HIGHLIGHT}\\EFI\\BOOT\\BOOTAA64.EFI{NORMAL} for presence...\r\n"
    "Success!\r\n"
    "The Load Option size: {HIGHLIGHT}76{NORMAL} bytes (hexadecimal).\r\n";

TEST(LoaderPath, TypicalSessionBuildsTheRecordFromTheShortForm) {
  SimFirmware Fw;
  AddTypicalMachine(Fw);
  Fw.Type(TypicalSession() + KeysAfterRecord());
  RunToClosingPrompt(Fw);
  EXPECT_NE(Fw.Screen().find(TypicalRun), std::string::npos) << Fw.Screen();

  SimFirmware Again;
  AddTypicalMachine(Again);
  Again.Type(TypicalSession());
  DialogState State = RunDialogueSteps(Again);
  // The short form drops PciRoot (12 bytes) and Pci (6): HD, File Path, End.
  SimPath Short = HardDriveNode(1, 0x800, 0x32000) + FilePathNode(LoaderPath) + EndNode();
  ASSERT_EQ(State.HomeShortSize, Short.size());
  EXPECT_EQ(Bytes(State.homevoldpshort, State.HomeShortSize), Short);
  EXPECT_EQ(State.homevoldpshort, (EFI_DEVICE_PATH_PROTOCOL *)((UINT8 *)State.homevoldpfull + 18));
  SimPath Record = SimPath{0x01, 0, 0, 0, (UINT8)Short.size(), 0} + Bytes(u"Unnamed", 16) + Short;
  EXPECT_EQ(Bytes(State.LoadOption, State.LoadOptionSize), Record);
  EXPECT_EQ(State.LoadOptionSize, 0x76u);
}

// 63 characters fill the node; the 64th key ends input without Enter and is
// not kept. Case, slashes and backslashes reach the firmware as typed.
TEST(LoaderPath, LongestPathGivesNodeLength84) {
  const std::string Typed = "\\efi/Vendor\\" + std::string(40, 'L') + "\\Loader.EFI";
  ASSERT_EQ(Typed.size(), 63u);
  const std::u16string Name(Typed.begin(), Typed.end());
  SimFirmware Fw;
  AddVolume(Fw, HardDriveNode(1, 0x800, 0x800) + EndNode(), u"HD(1)", {Name});
  Fw.Type(PickHomeVolume("0") + "\r" + Typed + "X");
  DialogState State = RunDialogueSteps(Fw);
  EXPECT_EQ(State.LoaderNode.Header.Length[0], 0x84);
  EXPECT_EQ(State.LoaderNode.Header.Length[1], 0x00);
  SimPath Short = HardDriveNode(1, 0x800, 0x800) + FilePathNode(Name) + EndNode();
  EXPECT_EQ(Bytes(State.homevoldpshort, State.HomeShortSize), Short);
  EXPECT_NE(State.LoadOption, nullptr);
}

// A path that begins with its hard-drive node is its own short form; an empty
// loader path, if the firmware opens it, gives a node of Length 6.
TEST(LoaderPath, PathStartingAtTheHardDriveNodeIsItsOwnShortForm) {
  SimFirmware Fw;
  AddVolume(Fw, HardDriveNode(1, 0x800, 0x800) + EndNode(), u"HD(1)", {u""});
  Fw.Type(PickHomeVolume("0") + "\r\r");
  DialogState State = RunDialogueSteps(Fw);
  ASSERT_NE(State.homevoldpfull, nullptr);
  EXPECT_EQ(State.homevoldpshort, State.homevoldpfull);
  EXPECT_EQ(State.HomeShortSize, 42u + 6 + 4);
  EXPECT_EQ(Bytes(&State.LoaderNode, 6), (SimPath{0x04, 0x04, 0x06, 0x00, 0x00, 0x00}));
}

TEST(LoaderPath, VolumeWithoutHardDriveNodeFailsAfterThePresenceCheck) {
  SimFirmware Fw;
  AddVolume(Fw, PciRootNode(0) + PciNode(3, 0) + EndNode(), u"VirtioFs", {LoaderPath});
  Fw.Type(TypicalSession());
  RunToClosingPrompt(Fw);  // homevoldpfull freed, once
  EXPECT_NE(Fw.Screen().find("Success!\r\n{ERROR}E: on getting device path size for "
                             "homevoldpshort.\r\n" +
                             std::string(ClosingPrompt)),
            std::string::npos);
}

struct StepFailure {
  const char *Name;
  SimCall Call;  // SimCall::Count: no fault, the keys alone lead there
  unsigned Nth;
  EFI_STATUS Status;
  std::string Keys;
  std::string ScreenEnd;  // before the closing prompt
};

TEST(LoaderPath, EveryFailureIsReportedAndEndsCleanly) {
  const std::string Described = PickHomeVolume("0") + "\r";
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
      {"GetDevicePathSize", SimCall::GetDevicePathSize, 1, EFI_INVALID_PARAMETER, TypicalSession(),
       "Success!\r\n{ERROR}E: on getting device path size for homevoldpfull.\r\n"},
      {"AllocatePool", SimCall::AllocatePool, 1, EFI_OUT_OF_RESOURCES, TypicalSession(),
       "Success!\r\n{ERROR}E: allocating for LoadOption, S: 8000000000000009\r\n"},
  };
  for (const StepFailure &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    SimFirmware Fw;
    AddTypicalMachine(Fw);
    if (Case.Call != SimCall::Count) Fw.FailCall(Case.Call, Case.Nth, Case.Status);
    Fw.Type(Case.Keys);
    RunToClosingPrompt(Fw);
    std::string Expected = Case.ScreenEnd + ClosingPrompt;
    std::string Screen = Fw.Screen();
    ASSERT_GE(Screen.size(), Expected.size());
    EXPECT_EQ(Screen.substr(Screen.size() - Expected.size()), Expected);
  }
}

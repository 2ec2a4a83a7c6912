// SPDX-License-Identifier: BSD-2-Clause-Patent
// Step 1 as the user sees it: the volume list with true positions, and the
// choice of the Home Volume.
#include <gtest/gtest.h>

#include "session.h"

static std::u16string VolumeText(int Position) {
  return u"HD(" + std::u16string(1, (char16_t)(u'a' + Position)) + u")";
}

// Count volumes, each on its own partition; only the one at LoaderAt holds the loader.
static void AddVolumes(SimFirmware &Fw, int Count, int LoaderAt) {
  for (int Position = 0; Position < Count; Position++) {
    std::set<std::u16string> Files;
    if (Position == LoaderAt) Files.insert(LoaderPath);
    AddVolume(Fw, HardDriveNode(Position + 1, 0x800, 0x800) + EndNode(), VolumeText(Position),
              Files);
  }
}

TEST(HomeVolume, NoVolumeAtAllEndsAtTheClosingPrompt) {
  SimFirmware Fw;
  RunToClosingPrompt(Fw);
  EXPECT_EQ(Fw.Screen(), Banner + "{ERROR}E: locating handles with SFSP, S: 800000000000000E\r\n" +
                             ClosingPrompt);
}

TEST(HomeVolume, EmptyListAcceptsNoNumber) {
  SimFirmware Fw;
  Fw.BootServices.LocateHandleBuffer = [](EFI_LOCATE_SEARCH_TYPE, const EFI_GUID *, VOID *,
                                          UINTN *Count, EFI_HANDLE **Buffer) EFIAPI -> EFI_STATUS {
    *Count = 0;
    *Buffer = static_cast<EFI_HANDLE *>(SimFirmware::Current->Allocate(0));
    return EFI_SUCCESS;
  };
  RunToClosingPrompt(Fw, "0\rn");
  EXPECT_EQ(Fw.Screen(),
            Banner + "{NORMAL}Found {HIGHLIGHT}0{NORMAL} handles (hex), supporting SFSP." +
                "\r\nEnter the index for Home Volume (Loader home): {HIGHLIGHT}0{NORMAL}\r\n" +
                Retry + "n\r\n" +
                "{ERROR}E: user fail to pick the Home Volume, S: 8000000000000006\r\n" +
                ClosingPrompt);
}

// Position 1 has no device path, position 2 no text: the numbers shown keep
// the true positions, and the volume that showed the failure line can be
// chosen, only to fail again on opening.
TEST(HomeVolume, ListShowsTruePositionsAndFailureLines) {
  SimFirmware Fw;
  AddVolume(Fw, HardDriveNode(1, 0x800, 0x800) + EndNode(), u"HD(a)");
  AddVolume(Fw, SimPath(), u"unused");
  AddVolume(Fw, HardDriveNode(3, 0x800, 0x800) + EndNode(), u"HD(c)");
  AddVolume(Fw, HardDriveNode(4, 0x800, 0x800) + EndNode(), u"HD(d)");
  Fw.FailCall(SimCall::ConvertDevicePathToText, 2, EFI_OUT_OF_RESOURCES);
  RunToClosingPrompt(Fw, "1\r");
  EXPECT_EQ(Fw.Screen(),
            Banner + "{NORMAL}Found {HIGHLIGHT}4{NORMAL} handles (hex), supporting SFSP." +
                "\r\n[{HIGHLIGHT}0{NORMAL}]:HD(a)" + ListLine +
                "8000000000000003\r\n" +  // EFI_UNSUPPORTED: no such protocol
                "\r\n[{HIGHLIGHT}3{NORMAL}]:HD(d)" +
                "\r\nEnter the index for Home Volume (Loader home): {HIGHLIGHT}1{NORMAL}\r\n" +
                "{ERROR}E: on opening Device Path on homevolh, S: 8000000000000003\r\n" +
                ClosingPrompt);
}

TEST(HomeVolume, VolumeWithoutTextCanStillBeChosen) {
  SimFirmware Fw;
  AddVolumes(Fw, 3, 1);
  Fw.FailCall(SimCall::ConvertDevicePathToText, 2, EFI_OUT_OF_RESOURCES);
  RunToClosingPrompt(Fw, TypicalSession("1") + "n");
  EXPECT_NE(Fw.Screen().find("]:HD(a)\r\n[{HIGHLIGHT}2{NORMAL}]:HD(c)\r\nEnter the index"),
            std::string::npos);
  EXPECT_NE(Fw.Screen().find("Success!"), std::string::npos);  // the loader is only on 1
}

TEST(HomeVolume, NumbersPastFAreHexadecimalAndTypedSo) {
  SimFirmware Fw;
  AddVolumes(Fw, 0x12, 0xA);
  RunToClosingPrompt(Fw, TypicalSession("a") + "n");
  std::string Screen = Fw.Screen();
  EXPECT_NE(Screen.find("Found {HIGHLIGHT}12{NORMAL} handles"), std::string::npos);
  for (const char *Entry : {"\r\n[{HIGHLIGHT}F{NORMAL}]:HD(p)\r\n[{HIGHLIGHT}10{NORMAL}]:HD(q)",
                            "\r\n[{HIGHLIGHT}11{NORMAL}]:HD(r)\r\nEnter the index"}) {
    EXPECT_NE(Screen.find(Entry), std::string::npos) << Entry;
  }
  EXPECT_NE(Screen.find("Success!"), std::string::npos);  // the loader is only on A
}

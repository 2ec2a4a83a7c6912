// The frame: banner, the common clean-up, and the two ways a run ends.
#include <gtest/gtest.h>

#include "sim_firmware.h"

static const char *Banner = "{BANNER}Let's create our Load Option!\r\n";
static const char *ClosingPrompt =
    "{NORMAL}Press <s> to shutdown or anything else (exc. <Enter>) to exit this app.\r\n";

TEST(Frame, LowercaseSShutsDownAndLeavesTheSavedAttribute) {
  SimFirmware Fw(0x1F);
  Fw.Type("s");
  EXPECT_EQ(Fw.Run(), SimEnding::Shutdown);
  EXPECT_EQ(Fw.ResetType, EfiResetShutdown);
  EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS);
  EXPECT_EQ(Fw.Mode.Attribute, 0x1F);
}

TEST(Frame, AnyOtherKeyExitsWithSuccess) {
  for (const char *Key : {"S", "\r", "x", " "}) {
    SimFirmware Fw;
    Fw.Type(Key);
    EXPECT_EQ(Fw.Run(), SimEnding::Exit) << Key;
    EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS) << Key;
    EXPECT_EQ(Fw.Mode.Attribute, 0x07) << Key;
    EXPECT_EQ(Fw.LiveBuffers(), 0u);
    EXPECT_TRUE(Fw.PoolErrors.empty());
  }
}

TEST(Frame, ShutdownThatReturnsStillExitsWithSuccess) {
  SimFirmware Fw;
  Fw.RuntimeServices.ResetSystem = [](EFI_RESET_TYPE, EFI_STATUS, UINTN, VOID *) {};
  Fw.Type("s");
  EXPECT_EQ(Fw.Run(), SimEnding::Exit);
  EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS);
}

TEST(Frame, ClosingKeyIsNotEchoed) {
  SimFirmware Fw;
  Fw.Type("x");
  Fw.Run();
  std::string Screen = Fw.Screen();
  EXPECT_EQ(Screen.substr(0, std::string(Banner).size()), Banner);
  EXPECT_EQ(Screen.substr(Screen.size() - std::string(ClosingPrompt).size()), ClosingPrompt);
  // Nothing follows the prompt: the key is taken silently.
}

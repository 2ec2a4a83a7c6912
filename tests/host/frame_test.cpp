// SPDX-License-Identifier: BSD-2-Clause-Patent
// The frame: banner, the common clean-up, and the two ways a run ends.
#include <gtest/gtest.h>

#include "session.h"

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
    SCOPED_TRACE(Key);
    ExpectCleanEnd(Fw, Fw.Run());
    EXPECT_EQ(Fw.Mode.Attribute, 0x07);
  }
}

// A shutdown that returns still exits; should Exit return as well, the entry
// point itself returns EFI_SUCCESS.
TEST(Frame, ClosingCallsThatReturnStillEndInSuccess) {
  for (bool ExitReturns : {false, true}) {
    SimFirmware Fw;
    Fw.RuntimeServices.ResetSystem = [](EFI_RESET_TYPE, EFI_STATUS, UINTN, VOID *) EFIAPI {};
    if (ExitReturns) {
      Fw.BootServices.Exit = [](EFI_HANDLE, EFI_STATUS, UINTN, CHAR16 *)
                                 EFIAPI -> EFI_STATUS { return EFI_UNSUPPORTED; };
    }
    Fw.Type("s");
    EXPECT_EQ(Fw.Run(), ExitReturns ? SimEnding::Returned : SimEnding::Exit);
    EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS) << ExitReturns;
  }
}

// Keys typed ahead of the closing prompt (answers for questions that a
// failure skipped) never answer it.
TEST(Frame, OnlyAKeyPressedAfterTheClosingPromptAnswersIt) {
  for (bool ShutdownAhead : {true, false}) {
    SimFirmware Fw;  // no volume: the first step fails at once
    Fw.TypeAhead(ShutdownAhead ? "s" : "x");
    Fw.TypeWhenShown(u"Press <s>", ShutdownAhead ? "x" : "s");
    EXPECT_EQ(Fw.Run(), ShutdownAhead ? SimEnding::Exit : SimEnding::Shutdown) << ShutdownAhead;
    EXPECT_EQ(Fw.NextKey, Fw.Keys.size());
  }
}

TEST(Frame, ClosingKeyIsNotEchoed) {
  SimFirmware Fw;
  Fw.Type("x");
  Fw.Run();
  std::string Screen = Fw.Screen();
  EXPECT_EQ(Screen.substr(0, Banner.size()), Banner);
  EXPECT_TRUE(EndsWith(Screen, ClosingPrompt)) << Screen;
  // Nothing follows the prompt: the key is taken silently.
}

// The firmware's own lines (a logo, "Start boot option", U-Boot's messages)
// are cleared before the banner, the cursor is shown at every question, and
// the visibility found at start is back when the application leaves.
TEST(Frame, StartsOnAClearedScreenWithTheCursorShownAndPutsTheVisibilityBack) {
  for (BOOLEAN VisibleAtStart : {FALSE, TRUE}) {
    SimFirmware Fw;
    AddTypicalMachine(Fw);
    Fw.Mode.CursorVisible = VisibleAtStart;
    Fw.ConOut.OutputString(&Fw.ConOut, u"\r\n\r\nFirmware line\r\n");
    Fw.Transcript.clear();
    RunToClosingPrompt(Fw, TypicalSession() + "y");
    SCOPED_TRACE(VisibleAtStart ? "visible at start" : "hidden at start");
    EXPECT_EQ(Fw.ShownLine(0), "Let's create our Load Option!");
    EXPECT_EQ(Fw.CellAt(0, 0).Attribute, 0x30u);
    // Only the closing key is awaited after the visibility is put back.
    EXPECT_EQ(Fw.WaitsWithCursorHidden, VisibleAtStart ? 0u : 1u);
    EXPECT_EQ(Fw.Mode.CursorVisible, VisibleAtStart);
  }
}

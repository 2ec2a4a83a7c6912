// SPDX-License-Identifier: BSD-2-Clause-Patent
// Step 8: the announcement, the one-key confirmation, and the two writes in
// their fixed order.
#include "console/colours.h"
#include "session.h"

static SimVariableStore &WithTwoOptions(SimFirmware &Fw) {
  SimVariableStore &Vars = VariablesOf(Fw);
  Vars.Put(u"BootOrder", 7, OptionNumberBytes({1, 0}));
  Vars.Put(u"Boot0000", 7, {0xB0});
  Vars.Put(u"Boot0001", 7, {0xB1});
  return Vars;
}

// Keys typed ahead (waiting before the question appears) never answer it.
TEST(Confirmation, OnlyYAndLowercaseYPressedAfterTheQuestionWriteAndNoKeyIsEchoed) {
  struct KeyCase {
    const char *Label;
    std::string Key;  // empty: Escape, a key with no character
    bool Writes;
    std::string Ahead = "";
    bool AsTheQuestionAppears = false;
  };
  for (const KeyCase &Case :
       std::vector<KeyCase>{{"Y", "Y", true},
                            {"y", "y", true},
                            {"n", "n", false},
                            {"N", "N", false},
                            {"space", " ", false},
                            {"Enter", "\r", false},
                            {"Escape", "", false},
                            {"n after y typed ahead", "n", false, "y"},
                            {"y after n typed ahead", "y", true, "nN"},
                            {"y as the question appears", "y", true, "n", true}}) {
    SimFirmware Fw;
    SimVariableStore &Vars = WithTwoOptions(Fw);
    SimVariableMap Before = Vars.Entries;
    Fw.TypeAhead(Case.Ahead);
    if (Case.AsTheQuestionAppears) {
      Fw.TypeWhenShown(u"Type \"y\" for \"yes\"", Case.Key);
    } else if (Case.Key.empty()) {
      Fw.PressScanKey(SCAN_ESC);
    } else {
      Fw.Type(Case.Key);
    }
    RunLastSteps(Fw, "x");
    // The key is awaited in the plain colour: a console that shows its
    // cursor in the colour in force shows a cyan one, not a highlighted one.
    ASSERT_FALSE(Fw.AttributeAtWaits.empty());
    EXPECT_EQ(Fw.AttributeAtWaits.front() & 0x7F, (UINT32)ATTR_NORMAL) << Case.Label;
    std::string Outcome = Case.Writes ? SuccessLine : AbortReport;
    EXPECT_EQ(Fw.Screen(), "{NORMAL}" + Announcement("Boot0002") + Outcome + ClosingPrompt)
        << Case.Label;
    if (Case.Writes) {
      ASSERT_NE(Vars.Find(u"Boot0002"), nullptr) << Case.Label;
      EXPECT_EQ(Vars.Find(u"Boot0002")->Data, TestRecord) << Case.Label;
      EXPECT_EQ(Vars.Find(u"BootOrder")->Data, OptionNumberBytes({1, 0, 2})) << Case.Label;
    } else {
      EXPECT_TRUE(Vars.Writes.empty()) << Case.Label;
      EXPECT_TRUE(Vars.Entries == Before) << Case.Label;
    }
  }
}

// Another agent writes Boot0002 while the question waits for its key: it is
// not written over, and BootOrder is left as it is.
TEST(VariableWrites, OptionAppearingDuringTheQuestionIsLeftAlone) {
  SimFirmware Fw;
  SimVariableStore &Vars = WithTwoOptions(Fw);
  Vars.BeforeRead = [&] {
    if (Fw.NextKey == 1) Vars.Put(u"Boot0002", 7, {0x5A});
  };
  RunLastSteps(Fw, "yx");
  EXPECT_EQ(Fw.Screen(), "{NORMAL}" + Announcement("Boot0002") +
                             "{ERROR}E: our Boot#### variable appeared meanwhile, nothing has "
                             "been written.\r\n" +
                             ClosingPrompt);
  EXPECT_TRUE(Vars.Writes.empty());
  EXPECT_EQ(Vars.Find(u"Boot0002")->Data, std::vector<UINT8>{0x5A});
}

TEST(VariableWrites, FailedOptionWriteLeavesBootOrderUntried) {
  SimFirmware Fw;
  SimVariableStore &Vars = WithTwoOptions(Fw);
  SimVariableMap Before = Vars.Entries;
  Fw.FailCall(SimCall::SetVariable, 1, EFI_WRITE_PROTECTED);
  RunLastSteps(Fw, "yx");
  EXPECT_EQ(Fw.Screen(), "{NORMAL}" + Announcement("Boot0002") +
                             "{ERROR}E: SetVariable failed on setting our Boot#### variable, S: "
                             "8000000000000008\r\n" +
                             ClosingPrompt);
  ASSERT_EQ(Vars.Writes.size(), 1u);
  EXPECT_EQ(Vars.Writes[0].Name, u"Boot0002");
  EXPECT_TRUE(Vars.Entries == Before);
}

// A warning is no success either.
TEST(VariableWrites, FailedOrderWriteKeepsTheOptionAndReportsLast) {
  for (EFI_STATUS Status : std::vector<EFI_STATUS>{EFI_OUT_OF_RESOURCES, EFI_WARN_UNKNOWN_GLYPH}) {
    SimFirmware Fw;
    SimVariableStore &Vars = WithTwoOptions(Fw);
    Fw.FailCall(SimCall::SetVariable, 2, Status);
    RunLastSteps(Fw, "yx");
    EXPECT_EQ(Fw.Screen(), "{NORMAL}" + Announcement("Boot0002") +
                               "{ERROR}E: SetVariable failed on appending our variable to "
                               "BootOrder, S: " +
                               StatusDigits(Status) + "\r\n" + ClosingPrompt);
    ASSERT_NE(Vars.Find(u"Boot0002"), nullptr);
    EXPECT_EQ(Vars.Find(u"Boot0002")->Data, TestRecord);
    EXPECT_EQ(Vars.Find(u"BootOrder")->Data, OptionNumberBytes({1, 0}));
  }
}

// The option stranded by a failed BootOrder write is not written over by the
// next run, which takes the number after it.
TEST(VariableWrites, NextRunDoesNotOverwriteAStrandedOption) {
  SimFirmware Fw;
  SimVariableStore &Vars = WithTwoOptions(Fw);
  Fw.FailCall(SimCall::SetVariable, 2, EFI_OUT_OF_RESOURCES);
  RunLastSteps(Fw, "yx");
  Vars.Put(u"Boot0002", 7, {0x5A});  // what the first run left, marked

  Fw.Transcript.clear();
  RunLastSteps(Fw, "yx");
  EXPECT_EQ(Fw.Screen(), "{NORMAL}" + Announcement("Boot0003") + SuccessLine + ClosingPrompt);
  EXPECT_EQ(Vars.Find(u"Boot0002")->Data, std::vector<UINT8>{0x5A});
  EXPECT_EQ(Vars.Find(u"BootOrder")->Data, OptionNumberBytes({1, 0, 3}));
}

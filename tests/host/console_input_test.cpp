// The three input routines, driven by keystrokes as a user would type them.
#include <gtest/gtest.h>

#include <string>

#include "console/colours.h"
#include "console/input.h"
#include "session.h"

static std::string Narrow(const CHAR16 *Text) {
  std::string Out;
  for (; *Text != 0; Text++) Out.push_back((char)*Text);
  return Out;
}

struct LineResult {
  UINTN Count;
  std::string Text;
};

static LineResult TypeLine(SimFirmware &Fw, const std::string &Keys, UINTN Capacity) {
  CHAR16 Buffer[80];
  LineResult Result{};
  Fw.Type(Keys);
  EXPECT_EQ(Fw.Call([&] { Result.Count = GetStringFromUser(Buffer, Capacity); }),
            SimEnding::Returned);
  Result.Text = Narrow(Buffer);
  return Result;
}

TEST(LineEditor, KeepsThirtyOneCharactersAtCapacityThirtyTwo) {
  SimFirmware Fw;
  std::string Typed(31, 'x');
  LineResult Line = TypeLine(Fw, Typed + "\r", 32);
  EXPECT_EQ(Line.Count, 31u);
  EXPECT_EQ(Line.Text, Typed);
  EXPECT_EQ(Fw.Screen(), "{HIGHLIGHT}" + Typed + "{NORMAL}\r\n");
}

TEST(LineEditor, ThirtySecondKeyEndsInputEchoedButNotKept) {
  SimFirmware Fw;
  std::string Typed = std::string(31, 'x') + "Z";
  LineResult Line = TypeLine(Fw, Typed + "tail", 32);
  EXPECT_EQ(Line.Count, 31u);
  EXPECT_EQ(Line.Text, std::string(31, 'x'));
  EXPECT_EQ(Fw.Screen(), "{HIGHLIGHT}" + Typed + "{NORMAL}\r\n");
  EXPECT_EQ(Fw.NextKey, 32u) << "keys after the full buffer belong to the next question";
}

TEST(LineEditor, BackspaceErasesOnScreenAndInBufferButNotBeforeTheStart) {
  SimFirmware Fw;
  // Control characters up to 0x1F are ignored, a space (0x20) is text, and a
  // backspace after the only character leaves the line empty again.
  LineResult Line = TypeLine(Fw, "\b\x01\x1F" "a\b ab\bc\r", 32);
  EXPECT_EQ(Line.Text, " ac");
  // Each erased character is overwritten by a space, then the next echo
  // lands where it stood.
  EXPECT_EQ(Fw.Screen(), "{HIGHLIGHT}a  ab c{NORMAL}\r\n");
}

TEST(LineEditor, KeysWithoutCharacterAreIgnored) {
  SimFirmware Fw;
  Fw.PressScanKey(0x17);  // Escape
  LineResult Line = TypeLine(Fw, "a\r", 32);
  EXPECT_EQ(Line.Text, "a");
}

TEST(LineEditor, BackspaceInColumnZeroAfterWrapGoesToLastColumnOfRowAbove) {
  SimFirmware Fw;
  Fw.Mode.CursorColumn = 78;
  Fw.Mode.CursorRow = 5;
  Fw.Type("abc\b\b");
  CHAR16 Buffer[32];
  EXPECT_EQ(Fw.Call([&] { GetStringFromUser(Buffer, 32); }), SimEnding::KeysRanOut);
  EXPECT_EQ(Fw.Mode.CursorColumn, 79);
  EXPECT_EQ(Fw.Mode.CursorRow, 5);
  EXPECT_EQ(Buffer[0], u'a');
}

TEST(IndexReader, ReadsHexDigitsAndEchoesOnlyTheFirstFour) {
  struct Case {
    std::string Keys;
    UINTN Expected;
    std::string Echo;
  } Cases[] = {
      {"1f\r", 0x1F, "1f"},
      {"12345\r", 0x1234, "1234"},
      {"\r", 0, ""},
      {"g-A\b\r", 0xA, "A"},
      // The edges of the three ranges; ':' to '@' and '`' lie between them.
      {"9:@\r", 0x9, "9"},
      {"BCD`\r", 0xBCD, "BCD"},
      {"EFG\r", 0xEF, "EF"},
  };
  for (const Case &C : Cases) {
    SimFirmware Fw;
    Fw.Type(C.Keys);
    UINTN Index = 99;
    EFI_STATUS Status = EFI_DEVICE_ERROR;
    Fw.Call([&] { Status = GetIndexFromUser(u"Pick: ", &Index, 0x10000); });
    EXPECT_EQ(Status, EFI_SUCCESS) << C.Keys;
    EXPECT_EQ(Index, C.Expected) << C.Keys;
    std::string Echo = C.Echo.empty() ? "" : "{HIGHLIGHT}" + C.Echo;
    EXPECT_EQ(Fw.Screen(), "{07}Pick: " + Echo + "{NORMAL}\r\n") << C.Keys;
  }
}

TEST(IndexReader, OutOfRangeAsksAgainWithoutRepeatingThePrompt) {
  SimFirmware Fw;
  Fw.Type("5\ry2\r");
  UINTN Index = 99;
  EFI_STATUS Status = EFI_DEVICE_ERROR;
  Fw.Call([&] { Status = GetIndexFromUser(u"Pick: ", &Index, 3); });
  EXPECT_EQ(Status, EFI_SUCCESS);
  EXPECT_EQ(Index, 2u);
  EXPECT_EQ(Fw.Screen(),
            "{07}Pick: {HIGHLIGHT}5{NORMAL}\r\n"
            "{ERROR}Wrong index, type \"y\" for trying again: {NORMAL}y\r\n"
            "{HIGHLIGHT}2{NORMAL}\r\n");
}

TEST(IndexReader, DecliningTheRetryGivesNotReadyAndEchoesControlKeysAsQuestionMark) {
  for (const char *Answer : {"n", " ", "\r"}) {
    SimFirmware Fw;
    Fw.Type(std::string("\r") + Answer);
    UINTN Index = 99;
    EFI_STATUS Status = EFI_SUCCESS;
    Fw.Call([&] { Status = GetIndexFromUser(u"Pick: ", &Index, 0); });  // Limit 0: nothing fits
    EXPECT_EQ(Status, EFI_NOT_READY);
    EXPECT_EQ(Index, 99u) << "a declined index must not be stored";
    std::string Echo = Answer[0] == 'n' ? "n" : "?";
    EXPECT_EQ(Fw.Screen(), "{07}Pick: {NORMAL}\r\n{ERROR}Wrong index, type \"y\" for "
                           "trying again: {NORMAL}" + Echo + "\r\n");
  }
}

TEST(YesNo, OnlyUpperOrLowerYMeansYesAndTheKeyIsEchoed) {
  struct Case {
    char Key;
    BOOLEAN Yes;
    std::string Echo;
  } Cases[] = {{'y', TRUE, "y"}, {'Y', TRUE, "Y"}, {'n', FALSE, "n"},
               {' ', FALSE, "?"}, {'\r', FALSE, "?"}, {'1', FALSE, "1"},
               {'!', FALSE, "!"}};  // 0x21, the first key echoed as itself
  for (const Case &C : Cases) {
    SimFirmware Fw;
    Fw.Type(std::string(1, C.Key));
    BOOLEAN Answer = 2;
    Fw.Call([&] {
      SetRole(ATTR_NORMAL);
      Answer = AskYesNo(u"Sure? ");
    });
    EXPECT_EQ(Answer, C.Yes) << C.Key;
    EXPECT_EQ(Fw.Screen(), "{NORMAL}Sure? " + C.Echo + "\r\n") << C.Key;
  }
}

TEST(KeyWait, AFailedReadAfterTheKeyEventMeansWaitAgain) {
  SimFirmware Fw;
  Fw.FailCall(SimCall::ReadKeyStroke, 1, EFI_DEVICE_ERROR);
  Fw.Type("q");
  CHAR16 Key = 0;
  Fw.Call([&] { Key = WaitForKeyChar(); });
  EXPECT_EQ(Key, u'q');
  EXPECT_EQ(CallsOf(Fw, SimCall::ReadKeyStroke), 2u);
}

TEST(HexDigits, WritesFixedWidthUppercaseWithoutTerminator) {
  CHAR16 Buffer[6] = {u'.', u'.', u'.', u'.', u'.', u'.'};
  WriteHexDigits(0x1A, Buffer, 2);
  EXPECT_EQ(std::u16string(Buffer, 6), u"001A..");
  WriteHexDigits(0xABCDEF, Buffer, 0);
  EXPECT_EQ(std::u16string(Buffer, 6), u"001A..");
  WriteHexDigits(0xfedcba9876543210ULL, Buffer, 1);
  EXPECT_EQ(std::u16string(Buffer, 6), u"101A..");
}

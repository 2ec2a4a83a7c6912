// SPDX-License-Identifier: BSD-2-Clause-Patent
// The three input routines, driven by keystrokes as a user would type them.
#include <gtest/gtest.h>

#include <string>

#include "console/colours.h"
#include "console/keyboard.h"
#include "console/line_editor.h"
#include "console/questions.h"
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

// Ctrl-H; DEL, which terminals send for Backspace; and the Delete key, as
// which EDK2 hands on a DEL that arrives on its serial console.
static const EFI_INPUT_KEY EraseKeys[] = {{0, 0x08}, {0, 0x7F}, {0x08, 0}};

TEST(LineEditor, EveryEraseKeyErasesOnScreenAndInBufferButNotBeforeTheStart) {
  for (EFI_INPUT_KEY Erase : EraseKeys) {
    SimFirmware Fw;
    // Control characters up to 0x1F are ignored, a space (0x20) is text, and
    // an erase after the only character leaves the line empty again.
    Fw.Keys.push_back(Erase);
    Fw.Type("\x01\x1F"
            "a");
    Fw.Keys.push_back(Erase);
    Fw.Type(" ab");
    Fw.Keys.push_back(Erase);
    LineResult Line = TypeLine(Fw, "c\r", 32);
    SCOPED_TRACE(testing::Message()
                 << "scan code " << Erase.ScanCode << ", character " << Erase.UnicodeChar);
    EXPECT_EQ(Line.Text, " ac");
    // Each erased character is overwritten by a space, then the next echo
    // lands where it stood.
    EXPECT_EQ(Fw.Screen(), "{HIGHLIGHT}a  ab c{NORMAL}\r\n");
  }
}

TEST(LineEditor, KeysWithoutCharacterAreIgnoredAndOnlyDeleteErases) {
  SimFirmware Fw;
  Fw.Type("a");
  for (UINT16 Scan : {0x01, 0x04, 0x07, 0x09, 0x17}) Fw.PressScanKey(Scan);  // Up Left Ins PgUp Esc
  Fw.Keys.push_back({0x08, u'b'});  // a scan code beside a character: the character counts
  LineResult Line = TypeLine(Fw, "\r", 32);
  EXPECT_EQ(Line.Text, "ab");
}

// The erase must blank the very cell of the last echo and leave the cursor
// on it, also back across a wrap, where that cell ends the row above, and on
// the bottom row, where the wrap has scrolled the screen up by one.
TEST(LineEditor, EraseBlanksTheCellOfTheLastEchoAndLeavesTheCursorThere) {
  const std::string Margin(78, ' ');
  struct Case {
    INT32 StartColumn, StartRow;
    std::string Keys;
    UINTN Row;  // where the typed text begins once typed
    std::string Shown, Below;
    INT32 CursorColumn, CursorRow;
  } Cases[] = {
      {0, 5, "abc\b", 5, "ab", "", 2, 5},
      {0, 5, "abc\b\b", 5, "a", "", 1, 5},
      {78, 5, "abc\b", 5, Margin + "ab", "", 0, 6},
      {78, 5, "abc\b\b", 5, Margin + "a", "", 79, 5},
      {78, 24, "abc\b\b", 23, Margin + "a", "", 79, 23},
  };
  for (const Case &C : Cases) {
    SimFirmware Fw;
    Fw.Mode.CursorColumn = C.StartColumn;
    Fw.Mode.CursorRow = C.StartRow;
    Fw.Type(C.Keys);
    CHAR16 Buffer[32];
    EXPECT_EQ(Fw.Call([&] { GetStringFromUser(Buffer, 32); }), SimEnding::KeysRanOut);
    SCOPED_TRACE(C.Keys + " from column " + std::to_string(C.StartColumn) + ", row " +
                 std::to_string(C.StartRow));
    EXPECT_EQ(Fw.ShownLine(C.Row), C.Shown);
    EXPECT_EQ(Fw.ShownLine(C.Row + 1), C.Below);
    EXPECT_EQ(Fw.Mode.CursorColumn, C.CursorColumn);
    EXPECT_EQ(Fw.Mode.CursorRow, C.CursorRow);
  }
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
  EXPECT_EQ(Fw.Screen(), "{07}Pick: {HIGHLIGHT}5{NORMAL}\r\n"
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
                           "trying again: {NORMAL}" +
                               Echo + "\r\n");
  }
}

TEST(YesNo, OnlyUpperOrLowerYMeansYesAndTheKeyIsEchoed) {
  struct Case {
    char Key;
    BOOLEAN Yes;
    std::string Echo;
    // '!' (0x21) is the first key echoed as itself.
  } Cases[] = {{'y', TRUE, "y"},   {'Y', TRUE, "Y"},  {'n', FALSE, "n"}, {' ', FALSE, "?"},
               {'\r', FALSE, "?"}, {'1', FALSE, "1"}, {'!', FALSE, "!"}};
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

// A wait that fails comes back at once, every time: a console that cannot
// wait and has no key ends each question instead of spinning (the line as
// Enter would, an index with the wait's status, a yes/no question as no),
// yet a key already waiting is still taken.
TEST(KeyWait, AConsoleThatCannotWaitEndsEveryQuestionWithoutSpinning) {
  for (bool KeyWaiting : {false, true}) {
    SimFirmware Fw;
    Fw.FailFrom(SimCall::WaitForEvent, 1, EFI_DEVICE_ERROR);
    if (KeyWaiting)
      Fw.TypeAhead("ab\r2\ry");
    else
      Fw.Type("ab\r2\ry");  // pressed, but no wait ever lets them arrive
    CHAR16 Line[8] = {};
    UINTN Index = 9;
    EFI_STATUS Status = 0;
    BOOLEAN Yes = 2;
    EXPECT_EQ(Fw.Call([&] {
      SetRole(ATTR_NORMAL);
      GetStringFromUser(Line, 8);
      Status = GetIndexFromUser(u"I: ", &Index, 4);
      Yes = AskYesNo(u"Q: ");
    }),
              SimEnding::Returned)
        << KeyWaiting;
    EXPECT_EQ(std::u16string(Line), KeyWaiting ? u"ab" : u"");
    EXPECT_EQ(Status, KeyWaiting ? EFI_SUCCESS : EFI_DEVICE_ERROR);
    EXPECT_EQ(Yes, KeyWaiting);
    EXPECT_EQ(Fw.Screen(), KeyWaiting ? Typed("ab") + "I: " + Typed("2") + "Q: y\r\n"
                                      : "{NORMAL}\r\nI: \r\nQ: ?\r\n");
  }
}

// A console that never runs dry (a stuck key) must not hang the discard
// before the confirmation.
static unsigned StuckReads;
static EFI_STATUS EFIAPI StuckKey(EFI_SIMPLE_TEXT_INPUT_PROTOCOL *, EFI_INPUT_KEY *Key) {
  if (++StuckReads > 100000) Sim().End(SimEnding::KeysRanOut);
  *Key = {0, u'y'};
  return EFI_SUCCESS;
}

TEST(KeyWait, DiscardingWaitingKeysEndsOnAQueueThatNeverRunsDry) {
  SimFirmware Fw;
  Fw.ConIn.ReadKeyStroke = StuckKey;
  StuckReads = 0;
  EXPECT_EQ(Fw.Call([] { DiscardWaitingKeys(); }), SimEnding::Returned);
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Step 7 and the choice of the option number, seen through the whole of steps
// 7 and 8: what the user reads and what the variable store holds afterwards.
#include <algorithm>
#include <optional>

#include "bootvars/boot_order.h"
#include "session.h"

struct ChoiceCase {
  const char *Name;
  std::optional<std::vector<UINT8>> BootOrder;  // bytes as stored; nullopt: absent
  UINT32 BootOrderAttributes;
  std::vector<UINT16> UnlistedOptions;  // Boot#### variables BootOrder does not name
  UINT16 Expected;
  UINT32 OrderWriteAttributes;
  std::vector<UINT8> BootOrderAfter;
  // Boot#### in the store, listed or not, and the duplicate warning they
  // call for, if any.
  std::map<UINT16, std::vector<UINT8>> Options = {};
  std::string Warning = "";
  std::vector<UINT8> New = TestRecord;  // the record about to be written
};

static std::vector<UINT8> Bytes(const std::vector<UINT16> &Numbers) {
  return OptionNumberBytes(Numbers);
}

static std::vector<UINT8> Appended(std::vector<UINT8> Before, UINT16 Number) {
  std::vector<UINT8> Tail = Bytes({Number});
  Before.insert(Before.end(), Tail.begin(), Tail.end());
  return Before;
}

// TestRecord's device paths and optional data under another description and
// attributes, or with other optional data.
static std::vector<UINT8> SameEntry(const std::u16string &Description, UINT8 Attributes = 1,
                                    const std::vector<UINT8> &Data = {0xAA, 0x55}) {
  std::vector<UINT8> Paths(TestPathsAndData.begin(), TestPathsAndData.end() - 2);
  std::vector<UINT8> Record = RecordBytes(8, Description, Paths);
  Record.insert(Record.end(), Data.begin(), Data.end());
  Record[0] = Attributes;
  return Record;
}

static std::vector<UINT8> CutAt(std::vector<UINT8> Record, size_t Size) {
  Record.resize(Size);
  return Record;
}

static std::vector<ChoiceCase> ChoiceCases() {
  std::u16string Long(300, u'L');  // beyond the first read's 512 bytes
  std::vector<UINT8> PathsCutShort = SameEntry(u"D");
  PathsCutShort.resize(PathsCutShort.size() - 6);
  std::vector<UINT8> UpToAA = Bytes(NumbersFrom(0, 0xAA));
  std::vector<UINT8> OddSize = {0x00, 0x00, 0x01, 0x00, 0x02};
  std::vector<UINT8> AllButLast = Bytes(NumbersFrom(0, 0xFFFE));
  // The same bytes, with the 2 bytes of data counted in the path list, as
  // the other Boot Volume placement counts the BVSRD.
  std::vector<UINT8> DataInPathList = SameEntry(u"D");
  DataInPathList[4] = 10;
  std::vector<UINT8> OtherFirstType = SameEntry(u"D");
  OtherFirstType[10] ^= 1;  // the first node's type: after the header and u"D"
  // A path list of 0x103 bytes, whose length has a high byte, and the same
  // bytes with only that high byte other.
  SimPath LongPaths(0x103 + 2);
  for (size_t I = 0; I < LongPaths.size(); I++) LongPaths[I] = (UINT8)I;
  std::vector<UINT8> LongNew = RecordBytes(0x103, u"D", LongPaths);
  std::vector<UINT8> LongOtherHighByte = LongNew;
  LongOtherHighByte[5] = 0;
  // clang-format off
  return {
      {"NoBootOrderCreatesItHoldingBoot0000", std::nullopt, 0, {}, 0, 7, Bytes({0})},
      {"LowestGapAfterSorting", Bytes({3, 0, 1}), 7, {}, 2, 0x47, Bytes({3, 0, 1, 2})},
      {"NoGapTakesTheCount", Bytes({0, 1, 2}), 7, {}, 3, 0x47, Bytes({0, 1, 2, 3})},
      {"ZeroWhenNotListed", Bytes({1, 2}), 7, {}, 0, 0x47, Bytes({1, 2, 0})},
      {"EntriesCompareUnsigned", Bytes({0x8000, 0}), 7, {}, 1, 0x47, Bytes({0x8000, 0, 1})},
      {"EmptyBootOrderIsAppendedTo", Bytes({}), 7, {}, 0, 0x47, Bytes({0})},
      // The append lands after the odd byte: that is what the firmware holds.
      {"OddLastByteIsNoEntry", OddSize, 7, {}, 2, 0x47, Appended(OddSize, 2)},
      {"ReadAttributesArePlusAppend", Bytes({0}), 3, {}, 1, 0x43, Bytes({0, 1})},
      {"LongListNamesUppercaseDigits", UpToAA, 7, {}, 0xAB, 0x47, Appended(UpToAA, 0xAB)},
      // Repeats: a plain walk would stop on 1 and write over a listed entry.
      {"RepeatedEntriesArePassedOver", Bytes({0, 0, 1}), 7, {}, 2, 0x47, Bytes({0, 0, 1, 2})},
      {"RepeatsEverywhere", Bytes({2, 0, 2, 1, 1}), 7, {}, 3, 0x47, Bytes({2, 0, 2, 1, 1, 3})},
      // Existing options that BootOrder leaves out are never written over.
      {"UnlistedOptionAtTheEnd", Bytes({0, 1}), 7, {2}, 3, 0x47, Bytes({0, 1, 3})},
      {"UnlistedOptionInTheGap", Bytes({0, 2}), 7, {1}, 3, 0x47, Bytes({0, 2, 3})},
      {"UnlistedOptionsWithoutBootOrder", std::nullopt, 0, {0, 1}, 2, 7, Bytes({2})},
      {"LastNumberIsTheLastFree", AllButLast, 7, {}, 0xFFFF, 0x47, Appended(AllButLast, 0xFFFF)},
      // A listed entry with the same device paths and optional data is named
      // before the question, whatever its description and attributes (control
      // characters show as '?'); the new entry is written all the same.
      {"DuplicateUnderAnotherDescriptionIsNamed", Bytes({0, 1}), 7, {}, 2, 0x47, Bytes({0, 1, 2}),
       {{0, SameEntry(u"D", 1, {0xAA})}, {1, SameEntry(u"Deb\r\nian", 0)}},
       DuplicateWarning("Boot0001", "Deb??ian")},
      {"OtherOptionalDataIsNoDuplicate", Bytes({0}), 7, {}, 1, 0x47, Bytes({0, 1}),
       {{0, SameEntry(u"D", 1, {0xAA, 0x56})}}},
      {"OtherPathListLengthIsNoDuplicate", Bytes({0}), 7, {}, 1, 0x47, Bytes({0, 1}),
       {{0, DataInPathList}}},
      {"OtherFirstNodeTypeIsNoDuplicate", Bytes({0}), 7, {}, 1, 0x47, Bytes({0, 1}),
       {{0, OtherFirstType}}},
      {"LongPathListDuplicateIsNamed", Bytes({0}), 7, {}, 1, 0x47, Bytes({0, 1}),
       {{0, RecordBytes(0x103, u"Old", LongPaths)}}, DuplicateWarning("Boot0000", "Old"), LongNew},
      {"PathListLengthOtherInTheHighByteIsNoDuplicate", Bytes({0}), 7, {}, 1, 0x47, Bytes({0, 1}),
       {{0, LongOtherHighByte}}, "", LongNew},
      // Spaces and other scripts show as they are, DEL as '?'; a character
      // whose low byte is 0, or a last one whose high byte is not, does not
      // end the description early or late.
      {"SpaceAndDelInADuplicateShow", Bytes({0}), 7, {}, 1, 0x47, Bytes({0, 1}),
       {{0, SameEntry(u"Windows Boot Manager\x7F")}},
       DuplicateWarning("Boot0000", "Windows Boot Manager?")},
      // C1 controls too: U+009B would start a terminal's control sequence.
      {"C1ControlsInADuplicateShowAsQuestionMarks", Bytes({0}), 7, {}, 1, 0x47, Bytes({0, 1}),
       {{0, SameEntry(u"\u0080Deb\u009B2J\u009F\u00A0")}},
       DuplicateWarning("Boot0000", "?Deb?2J?\u00A0")},
      {"OtherScriptsInADuplicateShow", Bytes({0}), 7, {}, 1, 0x47, Bytes({0, 1}),
       {{0, SameEntry(u"Deb \u0100\u4E00 Ж")}},
       DuplicateWarning("Boot0000", "Deb \u0100\u4E00 Ж")},
      // A listed entry that does not exist is passed over; of two duplicates
      // only the first is named.
      {"ListedButMissingOptionIsPassedOver", Bytes({2, 0, 1}), 7, {}, 3, 0x47, Bytes({2, 0, 1, 3}),
       {{1, SameEntry(u"First")}, {2, SameEntry(u"Second")}},
       DuplicateWarning("Boot0001", "First")},
      {"LongDuplicateIsReadAtItsOwnSize", Bytes({0}), 7, {}, 1, 0x47, Bytes({0, 1}),
       {{0, SameEntry(Long)}}, DuplicateWarning("Boot0000", std::string(300, 'L'))},
      // Malformed entries are no duplicates: empty, shorter than the header,
      // a description without its NUL (ending on an odd byte), device paths
      // that run past the end.
      {"MalformedListedOptionsAreNoDuplicates", Bytes({0, 1, 2, 3}), 7, {}, 4, 0x47,
       Bytes({0, 1, 2, 3, 4}),
       {{0, {}}, {1, {0x01, 0x00, 0x00}}, {2, CutAt(SameEntry(u"DD"), 9)}, {3, PathsCutShort}}},
      // Each after a well-formed entry of the record's sizes: a malformed one
      // taken as read would be compared through what that one left behind.
      {"MalformedAfterASameSizedEntryAreNoDuplicates", Bytes({0, 1, 0, 2, 0, 3}), 7, {}, 4, 0x47,
       Bytes({0, 1, 0, 2, 0, 3, 4}),
       {{0, SameEntry(u"D", 1, {0xAA, 0x56})},
        {1, {0x01, 0x00, 0x00}},
        {2, CutAt(SameEntry(u"DD"), 9)},
        {3, PathsCutShort}}},
      // Only listed entries are compared: the sorted copy of a BootOrder that
      // does not exist lists nothing, whatever its buffer holds.
      {"UnlistedDuplicateIsNotNamed", Bytes({0}), 7, {}, 2, 0x47, Bytes({0, 2}),
       {{0, {0xB0}}, {1, SameEntry(u"Old")}}},
      {"NoBootOrderNamesNothing", std::nullopt, 0, {}, 0, 7, Bytes({0}),
       {{0xAFAF, SameEntry(u"Stale")}}},
  };
  // clang-format on
}

// Names rather than bytes when a case fails.
static void PrintTo(const ChoiceCase &Case, std::ostream *Out) { *Out << Case.Name; }

class OptionNumberChoice : public testing::TestWithParam<ChoiceCase> {};

static void ExpectChoice(const ChoiceCase &Case, UINT8 Fill) {
  SimFirmware Fw;
  Fw.PoolFill = Fill;
  SimVariableStore &Vars = VariablesOf(Fw);
  if (Case.BootOrder) Vars.Put(u"BootOrder", Case.BootOrderAttributes, *Case.BootOrder);
  for (UINT16 N : Case.UnlistedOptions) Vars.Put(OptionName(N), 7, {0xEE, (UINT8)N});
  for (const auto &[N, Data] : Case.Options) Vars.Put(OptionName(N), 7, Data);
  SimVariableMap Expected = Vars.Entries;
  RunLastSteps(Fw, "yx", Case.New);

  std::u16string Name = OptionName(Case.Expected);
  std::string Name8(Name.begin(), Name.end());
  std::string Before = (Case.BootOrder ? "" : "{NORMAL}" + NeedToCreate) + Case.Warning;
  if (Before.empty()) Before = "{NORMAL}";
  EXPECT_EQ(Fw.Screen(), Before + Announcement(Name8) + SuccessLine + ClosingPrompt);
  ASSERT_EQ(Vars.Writes.size(), 2u);
  EXPECT_EQ(Vars.Writes[0].Name, Name);
  EXPECT_EQ(Vars.Writes[0].Attributes, 7u);
  EXPECT_EQ(Vars.Writes[1].Name, u"BootOrder");
  EXPECT_EQ(Vars.Writes[1].Attributes, Case.OrderWriteAttributes);
  EXPECT_EQ(Vars.Writes[1].Data, Bytes({Case.Expected}));
  // Nothing else in the store changed.
  Expected[GlobalKey(Name)] = {7, Case.New};
  Expected[GlobalKey(u"BootOrder")] = {Case.BootOrder ? Case.BootOrderAttributes : 7,
                                       Case.BootOrderAfter};
  EXPECT_TRUE(Vars.Entries == Expected);
}

// Each case on a pool that hands out zeros and on one that hands out a
// pattern: the number must not come from bytes that no read has filled.
TEST_P(OptionNumberChoice, WritesTheRecordUnderTheFreeNumberAndAppendsIt) {
  for (UINT8 Fill : {0x00, 0xAF}) {
    SCOPED_TRACE("pool fill " + std::to_string(Fill));
    ExpectChoice(GetParam(), Fill);
  }
}

INSTANTIATE_TEST_SUITE_P(BootOrder, OptionNumberChoice, testing::ValuesIn(ChoiceCases()),
                         [](const auto &Info) { return std::string(Info.param.Name); });

static const std::string ReadReport = "{ERROR}E: fail on getting BootOrder variable, S: ";

static std::vector<UINTN> BootOrderReadSizes(SimVariableStore &Vars) {
  std::vector<UINTN> Sizes;
  for (const SimVariableRead &Read : Vars.Reads) {
    if (Read.Name == u"BootOrder") Sizes.push_back(Read.DataSize);
  }
  return Sizes;
}

TEST(BootOrderRead, RegrowsToExactlyTheReportedSize) {
  struct SizeCase {
    std::vector<UINT8> BootOrder;
    std::vector<UINTN> Reads;
    UINT16 Expected;
  };
  std::vector<UINT8> Odd129 = Bytes(NumbersFrom(0, 63));
  Odd129.push_back(0x40);
  for (const SizeCase &Case : std::vector<SizeCase>{
           {Bytes(NumbersFrom(0, 63)), {128}, 0x40},
           {Bytes(NumbersFrom(0, 64)), {128, 130}, 0x41},
           // Under ASan, an odd byte counted as an entry reads past the buffer.
           {Odd129, {128, 129}, 0x40},
       }) {
    SimFirmware Fw;
    SimVariableStore &Vars = VariablesOf(Fw);
    Vars.Put(u"BootOrder", 7, Case.BootOrder);
    RunLastSteps(Fw, "yx");
    EXPECT_EQ(BootOrderReadSizes(Vars), Case.Reads) << Case.BootOrder.size();
    EXPECT_NE(Vars.Find(OptionName(Case.Expected)), nullptr) << Case.BootOrder.size();
  }
}

TEST(BootOrderRead, VariableGrowingBetweenReadsIsReadAgain) {
  SimFirmware Fw;
  SimVariableStore &Vars = VariablesOf(Fw);
  Vars.Put(u"BootOrder", 7, Bytes(NumbersFrom(0, 69)));
  Vars.BeforeRead = [&] {
    if (Vars.Reads.size() == 2) Vars.Put(u"BootOrder", 7, Bytes(NumbersFrom(0, 74)));
  };
  RunLastSteps(Fw, "yx");
  EXPECT_EQ(BootOrderReadSizes(Vars), (std::vector<UINTN>{128, 140, 150}));
  EXPECT_NE(Vars.Find(OptionName(0x4B)), nullptr) << "the number comes from the last read";
}

TEST(BootOrderRead, VariableGrowingAtEveryReadIsGivenUpOn) {
  SimFirmware Fw;
  SimVariableStore &Vars = VariablesOf(Fw);
  Vars.Put(u"BootOrder", 7, Bytes(NumbersFrom(0, 69)));
  // Two bytes more at every read: the size asked for never fits.
  Vars.BeforeRead = [&] {
    Vars.Entries[GlobalKey(u"BootOrder")].Data.resize(2 * Vars.Reads.size() + 140);
  };
  RunLastSteps(Fw, "y");
  EXPECT_EQ(Fw.Screen(), ReadReport + "8000000000000005\r\n" + ClosingPrompt);
  EXPECT_TRUE(Vars.Writes.empty());
}

TEST(BootOrderSort, InsertionSortMatchesAnUnsignedSort) {
  for (std::vector<UINT16> Entries : std::vector<std::vector<UINT16>>{
           {}, {5}, {3, 0, 1}, {0x8000, 0, 0x7FFF, 0xFFFF}, {2, 2, 1, 2, 0, 1}, {9, 8, 7, 6, 5}}) {
    std::vector<UINT16> Sorted = Entries;
    std::sort(Sorted.begin(), Sorted.end());
    SortOptionNumbers(Entries.data(), Entries.size());
    EXPECT_EQ(Entries, Sorted);
  }
}

// Failures before the confirmation: one report, no question, nothing written.
struct StepSevenFailure {
  const char *Name;
  std::optional<std::vector<UINT16>> BootOrder;  // nullopt: absent
  std::vector<UINT16> UnlistedOptions;
  SimCall Call;  // SimCall::Count: no fault, the store alone leads there
  unsigned Nth;
  EFI_STATUS Status;
  std::string Screen;
  SimLie How = SimLie::Fail;
  bool Onward = false;  // every read from the Nth on
};

static const std::string AllocationReport =
    "{ERROR}E: fail on allocating BootOrder array, S: 8000000000000009\r\n";
static const std::string ProbeReport =
    "{ERROR}E: fail on checking for an existing Boot#### variable, S: ";
static const std::string NoFreeNumber =
    "{ERROR}E: no free option number, Boot0000 to BootFFFF are all taken.\r\n";

static std::vector<StepSevenFailure> StepSevenFailures() {
  using Order = std::vector<UINT16>;
  const SimCall Allocate = SimCall::AllocatePool;
  const SimCall Read = SimCall::GetVariable;
  const SimCall None = SimCall::Count;
  // clang-format off
  return {
      {"FirstAllocation", std::nullopt, {}, Allocate, 1, EFI_OUT_OF_RESOURCES, AllocationReport},
      // The old buffer is already gone: the clean-up must not free it again.
      {"Reallocation", NumbersFrom(0, 64), {}, Allocate, 2, EFI_OUT_OF_RESOURCES,
       AllocationReport},
      {"Read", Order{0}, {}, Read, 1, EFI_DEVICE_ERROR, ReadReport + "8000000000000007\r\n"},
      // Taken at its word, the size would send the sort past the buffer.
      {"SizeAboveTheBuffer", Order{0}, {}, Read, 1, 0, ReadReport + "0000000000000000\r\n",
       SimLie::SizeLarger},
      // Regrowing to the same size again and again would never end.
      {"TooSmallWithoutGrowing", Order{0}, {}, Read, 1, 0, ReadReport + "8000000000000005\r\n",
       SimLie::TooSmallStuck, true},

      {"Probe", Order{0}, {}, Read, 2, EFI_DEVICE_ERROR, ProbeReport + "8000000000000007\r\n"},
      // Success for a read with no room cannot tell whether Boot#### exists.
      {"ProbeAnsweringSuccess", Order{0}, {}, Read, 2, EFI_SUCCESS,
       ProbeReport + "0000000000000000\r\n"},
      {"ProbeWithoutBootOrder", std::nullopt, {}, Read, 2, EFI_DEVICE_ERROR,
       "{NORMAL}" + NeedToCreate + ProbeReport + "8000000000000007\r\n"},
      // Without a bound the search would wrap to 0 and write over Boot0000.
      {"EveryNumberListed", NumbersFrom(0, 0xFFFF), {0}, None, 0, 0, NoFreeNumber},
      {"LastNumberExistsUnlisted", NumbersFrom(0, 0xFFFE), {0xFFFF}, None, 0, 0, NoFreeNumber},
      {"EveryOptionExistsWithoutBootOrder", std::nullopt, NumbersFrom(0, 0xFFFF), None, 0, 0,
       "{NORMAL}" + NeedToCreate + NoFreeNumber},
  };
  // clang-format on
}

static void PrintTo(const StepSevenFailure &Case, std::ostream *Out) { *Out << Case.Name; }

class StepSevenFails : public testing::TestWithParam<StepSevenFailure> {};

TEST_P(StepSevenFails, ReportsAndWritesNothing) {
  SimFirmware Fw;
  SimVariableStore &Vars = VariablesOf(Fw);
  const StepSevenFailure &Case = GetParam();
  if (Case.BootOrder) Vars.Put(u"BootOrder", 7, Bytes(*Case.BootOrder));
  for (UINT16 N : Case.UnlistedOptions) Vars.Put(OptionName(N), 7, {1});
  if (Case.Onward) {
    Fw.FailFrom(Case.Call, Case.Nth, Case.Status, Case.How);
  } else if (Case.Call != SimCall::Count) {
    Fw.FailCall(Case.Call, Case.Nth, Case.Status, Case.How);
  }
  SimVariableMap Before = Vars.Entries;
  RunLastSteps(Fw, "y");  // taken by the closing prompt: the confirmation is never asked
  EXPECT_EQ(Fw.Screen(), Case.Screen + ClosingPrompt);
  EXPECT_TRUE(Vars.Writes.empty());
  EXPECT_TRUE(Vars.Entries == Before);
}

INSTANTIATE_TEST_SUITE_P(BootOrder, StepSevenFails, testing::ValuesIn(StepSevenFailures()),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The JSON object of --json: strings escaped as JSON demands, device paths
// in EDK2's text, and the whole object for each way a run ends, from
// records laid out here byte by byte.
#include <gtest/gtest.h>

#include "linux/run_ending.h"
#include "linux/run_report.h"

static void AddLittle(std::vector<UINT8> *Bytes, UINT64 Value, int Count) {
  for (int I = 0; I < Count; I++) Bytes->push_back(I < 8 ? (UINT8)(Value >> 8 * I) : 0);
}

static void AddText(std::vector<UINT8> *Bytes, const std::u16string &Text) {
  for (char16_t C : Text + u'\0') AddLittle(Bytes, C, 2);
}

// HD(1,GPT,...) of a partition whose unique GUID bytes are 0x10..0x1F,
// then the file's node and the end node.
static std::vector<UINT8> GptPath(const std::u16string &File) {
  std::vector<UINT8> Path = {4, 1, 42, 0};
  AddLittle(&Path, 1, 4);
  AddLittle(&Path, 0x800, 8);
  AddLittle(&Path, 0x10000, 8);
  for (UINT8 I = 0; I < 16; I++) Path.push_back(0x10 + I);
  Path.insert(Path.end(), {2, 2});
  if (!File.empty()) {
    Path.insert(Path.end(), {4, 4});
    AddLittle(&Path, 4 + 2 * (File.size() + 1), 2);
    AddText(&Path, File);
  }
  Path.insert(Path.end(), {0x7F, 0xFF, 4, 0});
  return Path;
}

static std::vector<UINT8> Record(const std::u16string &Label, const std::vector<UINT8> &Paths,
                                 const std::vector<UINT8> &Data) {
  std::vector<UINT8> Bytes;
  AddLittle(&Bytes, 1, 4);
  AddLittle(&Bytes, Paths.size(), 2);
  AddText(&Bytes, Label);
  Bytes.insert(Bytes.end(), Paths.begin(), Paths.end());
  Bytes.insert(Bytes.end(), Data.begin(), Data.end());
  return Bytes;
}

static std::string Hex(const std::vector<UINT8> &Bytes) {
  std::string Text;
  for (UINT8 B : Bytes) {
    char Pair[3];
    snprintf(Pair, sizeof Pair, "%02x", B);
    Text += Pair;
  }
  return Text;
}

TEST(LinuxRunReport, StringsAreEscapedAsJsonDemands) {
  // clang-format off
  const std::pair<std::u16string, std::string> Cases[] = {
      {u"Debian", "\"Debian\""},
      {u"say \"hi\" \\o/", "\"say \\\"hi\\\" \\\\o/\""},
      {u"\\EFI\\debian", "\"\\\\EFI\\\\debian\""},
      {u"a\r\nb\tc", "\"a\\r\\nb\\tc\""},
      {u"\x01\x1F\x7F\x9B", "\"\\u0001\\u001f\\u007f\\u009b\""},
      {u"Débian €", "\"D\xC3\xA9" "bian \xE2\x82\xAC\""},
      {u"\xD83D\xDE00", "\"\xF0\x9F\x98\x80\""},  // a pair is one character
      {u"\xD800x\xDC00", "\"\\ud800x\\udc00\""},  // lone halves stay escapes
      {u"", "\"\""},
  };
  // clang-format on
  for (const auto &[Text, Json] : Cases) EXPECT_EQ(JsonString(Text), Json);
}

TEST(LinuxRunReport, DevicePathsReadAsEdk2WritesThem) {
  std::vector<UINT8> Two = GptPath(u"\\EFI\\debian\\shimx64.efi");
  std::vector<UINT8> Root = GptPath(u"\\Ixo");
  Two.insert(Two.end(), Root.begin(), Root.end());
  std::vector<UINT8> Mbr = {4, 1, 42, 0, 2, 0, 0, 0};
  AddLittle(&Mbr, 0x800, 8);
  AddLittle(&Mbr, 0x1000, 8);
  AddLittle(&Mbr, 0x1234ABCD, 16);
  Mbr.insert(Mbr.end(), {1, 1, 0x7F, 0xFF, 4, 0});
  const std::vector<UINT8> Other = {1, 2, 6, 0, 0xAB, 0x0C, 0x7F, 0xFF, 4, 0};
  const std::vector<UINT8> CutShort = {4, 4, 40, 0, 'a', 0};
  const std::pair<std::vector<UINT8>, std::vector<std::u16string>> Cases[] = {
      {Two,
       {u"HD(1,GPT,13121110-1514-1716-1819-1A1B1C1D1E1F,0x800,0x10000)/\\EFI\\debian\\shimx64.efi",
        u"HD(1,GPT,13121110-1514-1716-1819-1A1B1C1D1E1F,0x800,0x10000)/\\Ixo"}},
      {Mbr, {u"HD(2,MBR,0x1234ABCD,0x800,0x1000)"}},
      {Other, {u"Path(1,2,ab0c)"}},
      {CutShort, {}},  // a node longer than the bytes given is not read
  };
  for (const auto &[Bytes, Texts] : Cases) {
    EXPECT_EQ(DevicePathTexts(Bytes.data(), Bytes.size()), Texts) << Hex(Bytes);
  }
}

TEST(LinuxRunReport, ObjectSaysHowTheRunEnded) {
  const std::string Hd = "HD(1,GPT,13121110-1514-1716-1819-1A1B1C1D1E1F,0x800,0x10000)";
  std::vector<UINT8> Plain = Record(u"Debian", GptPath(u"\\EFI\\debian\\shimx64.efi"), {});
  std::vector<UINT8> Bvsrd = Record(u"Old \"name\"", GptPath(u"\\EFI\\a.efi"), GptPath(u"\\r"));
  Bvsrd.insert(Bvsrd.end(), {0x00, 0x40});
  const std::vector<UINT8> BvsrdData(Bvsrd.end() - 2 - GptPath(u"\\r").size(), Bvsrd.end());
  struct Case {
    RunReport Report;
    std::string Json;
  };
  // clang-format off
  const Case Cases[] = {
      {{"created", TRUE, 0x1A, Plain, {0, 0x1A}, FALSE, u"Success!"},
       "{\"result\": \"created\", \"variable\": \"Boot001A\", \"number\": 26, \"label\": \"Debian\", "
       "\"device_paths\": [\"" + Hd + "/\\\\EFI\\\\debian\\\\shimx64.efi\"], \"optional_data\": \"\", "
       "\"load_option\": \"" + Hex(Plain) + "\", \"boot_order\": [\"0000\", \"001A\"], "
       "\"boot_next\": null, \"message\": \"Success!\"}"},
      {{"unchanged", TRUE, 3, Bvsrd, {3}, TRUE, u"Boot0003 already boots this"},
       "{\"result\": \"unchanged\", \"variable\": \"Boot0003\", \"number\": 3, \"label\": \"Old \\\"name\\\"\", "
       "\"device_paths\": [\"" + Hd + "/\\\\EFI\\\\a.efi\"], \"optional_data\": \"" + Hex(BvsrdData) + "\", "
       "\"load_option\": \"" + Hex(Bvsrd) + "\", \"boot_order\": [\"0003\"], \"boot_next\": \"0003\", "
       "\"message\": \"Boot0003 already boots this\"}"},
      {{"failed", FALSE, 0, {}, {}, TRUE, u"Loader not found"},
       "{\"result\": \"failed\", \"variable\": null, \"number\": null, \"label\": null, \"device_paths\": [], "
       "\"optional_data\": null, \"load_option\": null, \"boot_order\": [], \"boot_next\": null, "
       "\"message\": \"Loader not found\"}"},
  };
  // clang-format on
  for (const Case &C : Cases) EXPECT_EQ(RunReportJson(C.Report), C.Json);
}

// Exit's data as the application lays it out: the message and its NUL, the
// 12-byte record (signature "ABEO", result, BootNext set, number, size),
// then the load option.
static std::vector<UINT8> ExitData(const std::u16string &Message, UINT8 Result, UINT8 BootNext,
                                   UINT16 Number, const std::vector<UINT8> &Option, UINT32 Size) {
  std::vector<UINT8> Data;
  AddText(&Data, Message);
  Data.insert(Data.end(), {'A', 'B', 'E', 'O', Result, BootNext});
  AddLittle(&Data, Number, 2);
  AddLittle(&Data, Size, 4);
  Data.insert(Data.end(), Option.begin(), Option.end());
  return Data;
}

TEST(LinuxRunReport, OutcomeIsReadFromExitDataWithinItsSize) {
  const std::vector<UINT8> Option = {1, 0, 0, 0, 4, 0, 'A', 0, 0, 0, 0x7F, 0xFF, 4, 0};
  struct Case {
    const char *Name;
    std::vector<UINT8> Data;
    const char *Result;  // nullptr: no outcome
    BOOLEAN HasNumber, BootNext;
  };
  std::vector<UINT8> NoNul = {'S', 0, 'u', 0};
  std::vector<UINT8> BadSignature = ExitData(u"x", 1, 0, 4, Option, 14);
  BadSignature[4] = 'X';
  std::vector<UINT8> CutShort = ExitData(u"x", 1, 0, 4, {}, 0);
  CutShort.pop_back();
  const Case Cases[] = {
      {"created", ExitData(u"Success!", 1, 0, 4, Option, 14), "created", TRUE, FALSE},
      {"unchanged, BootNext set", ExitData(u"already", 2, 1, 4, Option, 14), "unchanged", TRUE,
       TRUE},
      {"dry run", ExitData(u"", 3, 0, 4, Option, 14), "dry-run", TRUE, FALSE},
      {"failed: no number, no BootNext", ExitData(u"E: x", 4, 1, 4, {}, 0), "failed", FALSE, FALSE},
      {"message without its NUL", NoNul, nullptr, FALSE, FALSE},
      {"record cut short", CutShort, nullptr, FALSE, FALSE},
      {"another signature", BadSignature, nullptr, FALSE, FALSE},
      {"option past the end", ExitData(u"x", 1, 0, 4, Option, 15), nullptr, FALSE, FALSE},
      {"size that wraps", ExitData(u"x", 1, 0, 4, Option, 0xFFFFFFFF), nullptr, FALSE, FALSE},
      {"unknown result", ExitData(u"x", 5, 0, 4, Option, 14), nullptr, FALSE, FALSE},
      {"no result", ExitData(u"x", 0, 0, 4, Option, 14), nullptr, FALSE, FALSE},
  };
  for (const Case &C : Cases) {
    SCOPED_TRACE(C.Name);
    // A copy of exactly the given size: ASan sees any read past it.
    std::unique_ptr<UINT8[]> Data(new UINT8[C.Data.size()]);
    std::copy(C.Data.begin(), C.Data.end(), Data.get());
    RunReport Report = {};
    BOOLEAN Read = ReadRunOutcome(Data.get(), C.Data.size(), &Report);
    ASSERT_EQ(Read, C.Result != nullptr);
    if (!Read) continue;
    EXPECT_STREQ(Report.Result, C.Result);
    EXPECT_EQ(Report.HasNumber, C.HasNumber);
    EXPECT_EQ(Report.BootNext, C.BootNext);
    EXPECT_EQ(Report.LoadOption, C.HasNumber ? Option : std::vector<UINT8>{});
  }
  RunReport Report = {};
  std::vector<UINT8> Named = ExitData(u"Boot0004 \"Debian\"", 1, 0, 4, Option, 14);
  ASSERT_TRUE(ReadRunOutcome(Named.data(), Named.size(), &Report));
  EXPECT_EQ(Report.Message, u"Boot0004 \"Debian\"");
  EXPECT_EQ(Report.Number, 4);
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Runs with options: every question takes its answer from them, so a run
// with options shows and writes what the dialogue does when the same answers
// are typed; bad words are refused with one line and no write; an entry that
// already boots the same thing is reported, not written again.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/run_outcome.h"
#include "session.h"

typedef std::vector<std::u16string> Words;

// The partitions' unique GUIDs as blkid prints them: HardDriveNode(N) holds
// the bytes A0+N ... AF+N, the first three groups little-endian.
static const std::u16string EspUuid = u"PARTUUID=a4a3a2a1-a6a5-a8a7-a9aa-abacadaeafb0";
static const std::u16string DataUuid = u"PARTUUID=A5A4A3A2-A7A6-A9A8-AAAB-ACADAEAFB0B1";
static const std::u16string OsUuid = u"PARTUUID=a6a5a4a3-a8a7-aaa9-abac-adaeafb0b1b2";
static const std::u16string Loader = LoaderPath;

// An MBR partition, number 5 of the disk with signature 0x0E5C8D3F, holding
// \mbr.efi: a FAT volume after the boot machine's two.
static void AddMbrVolume(SimFirmware &Fw) {
  SimPath Node = HardDriveNode(5, 0x80000, 0x800);
  const UINT8 Signature[16] = {0x3F, 0x8D, 0x5C, 0x0E};
  std::memcpy(Node.data() + 24, Signature, sizeof Signature);
  Node[40] = 0x01;  // MBR partition table
  Node[41] = 0x01;  // 32-bit signature
  AddVolume(Fw, DiskPath + Node + EndNode(), u"HD(5,MBR,0x0E5C8D3F,0x80000,0x800)", {u"\\mbr.efi"});
}

static std::string Narrow(const CHAR16 *Text) {
  std::string Out;
  while (*Text != 0) Out += (char)*Text++;
  return Out;
}

// What Exit handed over: the closing line and the outcome record.
struct ExitOutcome {
  std::string Message;
  RunOutcome Record;
  std::vector<UINT8> LoadOption;
};
static ExitOutcome ReadExitData(const std::vector<UINT8> &Data) {
  ExitOutcome Out = {};
  std::u16string Text;
  size_t At = 0;
  for (; At + 1 < Data.size() && (Data[At] | Data[At + 1]) != 0; At += 2) {
    Text += (char16_t)(Data[At] | Data[At + 1] << 8);
  }
  Out.Message = Narrow(Text.c_str());
  At += 2;
  EXPECT_GE(Data.size(), At + sizeof(RunOutcome));
  if (Data.size() < At + sizeof(RunOutcome)) return Out;
  std::memcpy(&Out.Record, Data.data() + At, sizeof(RunOutcome));
  Out.LoadOption.assign(Data.begin() + At + sizeof(RunOutcome), Data.end());
  EXPECT_EQ(Out.Record.Signature, RUN_OUTCOME_SIGNATURE);
  EXPECT_EQ(Out.LoadOption.size(), Out.Record.LoadOptionSize);
  return Out;
}

// An unattended run never waits at the end: Exit (or the reset asked for),
// every buffer freed, every file closed, no key left waiting that it took.
static ExitOutcome RunUnattended(SimFirmware &Fw, const Words &Options,
                                 SimEnding Expected = SimEnding::Exit) {
  EXPECT_EQ(Fw.RunWith(Options), Expected) << Fw.Screen();
  EXPECT_EQ(Fw.NextKey, Fw.Keys.size()) << "keys left unread";
  EXPECT_EQ(Fw.LiveBuffers(), 0u);
  EXPECT_TRUE(Fw.PoolErrors.empty()) << Fw.PoolErrors.front();
  EXPECT_EQ(OpenFileCount(Fw), 0u);
  return Expected == SimEnding::Exit ? ReadExitData(Fw.ExitData) : ExitOutcome{};
}

// After the refusal line, still in its colour (a line break shows no colour).
static const std::string RefusedEnd =
    "E: the run failed, nothing more done, S: 8000000000000002{NORMAL}\r\n";

// Each row: options, and the keys that type the same answers. Both runs
// start from the same machine; the options' run then shows the typed run's
// screen up to its closing prompt, and leaves the same variables.
TEST(Unattended, AnswersShowAndWriteWhatTheTypedDialogueDoes) {
  struct Row {
    const char *Name;
    Words Options;
    std::string Keys;
    std::string Closing;
  };
  // clang-format off
  const Row Rows[] = {
      {"loader only: its volume found", {u"--loader", Loader}, TypicalSession() + "y",
       "Boot0000 \"Unnamed\" created and added to BootOrder"},
      {"volume and label",
       {u"--loader", Loader, u"--volume", EspUuid, u"--label", u"Debian 12 (x)"},
       TypicalSession("0", "Debian 12 (x)") + "y",
       "Boot0000 \"Debian 12 (x)\" created and added to BootOrder"},
      {"a label of 31 characters",
       {u"--loader", Loader, u"--label", u"0123456789abcdef0123456789abcde"},
       TypicalSession("0", "0123456789abcdef0123456789abcde") + "y",
       "Boot0000 \"0123456789abcdef0123456789abcde\" created and added to BootOrder"},
      {"FAT Boot Volume as data",
       {u"--loader", Loader, u"--boot-volume", DataUuid, u"--bvsrd-as", u"data"},
       BootSession("yny1\r") + "y", "Boot0000 \"Unnamed\" created and added to BootOrder"},
      {"FAT Boot Volume as path, a root",
       {u"--bvsrd-as", u"path", u"--root", u"\\Sys", u"--boot-volume", EspUuid, u"--loader",
        Loader},
       BootSession("yyy0\r", "\\Sys\r") + "y", "Boot0000 \"Unnamed\" created and added to BootOrder"},
      {"partition, wfs",
       {u"--loader", Loader, u"--boot-volume", OsUuid, u"--boot-fs", u"wfs", u"--bvsrd-as",
        u"data", u"--label", u"OS"},
       "0\rynn3\r2\rOS\r" + std::string("\\EFI\\BOOT\\BOOTAA64.EFI\r\ry"),
       "Boot0000 \"OS\" created and added to BootOrder"},
      {"partition, qfs as path",
       {u"--loader", Loader, u"--boot-volume", OsUuid, u"--boot-fs", u"qfs", u"--bvsrd-as",
        u"path", u"--yes"},
       BootSession("yyn3\r3\r") + "y", "Boot0000 \"Unnamed\" created and added to BootOrder"},
      {"MBR selector, its loader",
       {u"--loader", u"\\mbr.efi", u"--volume", u"PARTUUID=0E5c8d3f-05", u"--label", u"M"},
       "2\rnM\r\\mbr.efi\ry", "Boot0000 \"M\" created and added to BootOrder"},
      {"MBR Boot Volume found by its loader's search",
       {u"--loader", u"\\mbr.efi", u"--boot-volume", u"PARTUUID=0e5c8d3f-05", u"--bvsrd-as",
        u"data", u"--root", u"\\"},
       "2\ryny2\r\r\\mbr.efi\r\\\ry", "Boot0000 \"Unnamed\" created and added to BootOrder"},
  };
  // clang-format on
  for (const Row &R : Rows) {
    SimFirmware Typed;
    SimFirmware Answered;
    for (SimFirmware *Fw : {&Typed, &Answered}) {
      AddBootMachine(*Fw);
      AddMbrVolume(*Fw);
    }
    RunToClosingPrompt(Typed, R.Keys);
    // Without --yes the confirmation is asked on the console.
    if (std::find(R.Options.begin(), R.Options.end(), u"--yes") == R.Options.end()) {
      Answered.Type("y");
    }
    ExitOutcome Out = RunUnattended(Answered, R.Options);
    std::string TypedScreen = Typed.Screen();
    std::string Shown = TypedScreen.substr(0, TypedScreen.size() - ClosingPrompt.size());
    // The success line leaves the colour light cyan, which the closing line keeps.
    EXPECT_EQ(Answered.Screen(), Shown + R.Closing + "{NORMAL}\r\n") << R.Name;
    EXPECT_TRUE(VariablesOf(Answered).Entries == VariablesOf(Typed).Entries) << R.Name;
    EXPECT_EQ(Answered.ExitStatus, EFI_SUCCESS) << R.Name;
    EXPECT_EQ(Out.Message, R.Closing) << R.Name;
    EXPECT_EQ(Out.Record.Result, RUN_RESULT_CREATED) << R.Name;
    EXPECT_EQ(Out.LoadOption, VariablesOf(Typed).Entries[GlobalKey(u"Boot0000")].Data) << R.Name;
  }
}

// Each bad input: its one line, EFI_INVALID_PARAMETER, no variable written,
// and an end by Exit whatever --then asks. Refusals of the words come before
// anything is shown; those of a selector after the listing it was held against.
TEST(Unattended, BadInputIsRefusedWithOneLineAndNoWrite) {
  struct Row {
    Words Options;
    std::string Line;
    bool BeforeScreen = true;
  };
  const std::u16string Long(32, u'x');
  const std::u16string Unknown = u"PARTUUID=00000000-0000-0000-0000-000000000000";
  // clang-format off
  const Row Rows[] = {
      {{u"--frob"}, "E: --frob: no such option (--help lists them)"},
      {{u"--loader", Loader, u"--json"}, "E: --json: no such option (--help lists them)"},
      {{u"--loader"}, "E: --loader: needs a value"},
      {{u"--loader", Loader, u"--label", u"--yes"}, "E: --label: needs a value"},
      {{u"--loader", Loader, u"--loader", Loader}, "E: --loader: given twice"},
      {{u"--loader", Loader, u"--yes", u"--yes"}, "E: --yes: given twice"},
      {{u"--loader", Loader, u"--label", u""}, "E: --label: the value is empty"},
      {{u"--label", u"x"}, "E: --label: needs --loader (which makes the run unattended)"},
      {{u"--dry-run"}, "E: --dry-run: needs --loader (which makes the run unattended)"},
      {{u"--loader", u"EFI\\x.efi"}, "E: --loader: must begin with \\ (the path on its volume)"},
      {{u"--loader", u"\\" + std::u16string(63, u'a')}, "E: --loader: longer than the dialogue's line"},
      {{u"--loader", Loader, u"--label", Long}, "E: --label: longer than the dialogue's line"},
      {{u"--loader", Loader, u"--label", u"a\tb"},
       "E: --label: holds a character the entry cannot hold"},
      {{u"--loader", Loader, u"--label", u"a\x7F"},
       "E: --label: holds a character the entry cannot hold"},
      {{u"--loader", Loader, u"--label", u"\xD83D\xDE00"},
       "E: --label: holds a character the entry cannot hold"},
      {{u"--loader", Loader, u"--boot-fs", u"kfs"}, "E: --boot-fs: needs --boot-volume"},
      {{u"--loader", Loader, u"--bvsrd-as", u"data"}, "E: --bvsrd-as: needs --boot-volume"},
      {{u"--loader", Loader, u"--root", u"\\r"}, "E: --root: needs --boot-volume"},
      {{u"--loader", Loader, u"--boot-volume", OsUuid},
       "E: --boot-volume: needs --bvsrd-as data or --bvsrd-as path"},
      {{u"--loader", Loader, u"--boot-volume", OsUuid, u"--bvsrd-as", u"both"},
       "E: --bvsrd-as: takes data or path"},
      {{u"--loader", Loader, u"--boot-volume", OsUuid, u"--bvsrd-as", u"data", u"--boot-fs",
        u"ext4"},
       "E: --boot-fs: takes kfs, wfs or qfs"},
      {{u"--loader", Loader, u"--then", u"halt"}, "E: --then: takes exit, shutdown or reboot"},
      {{u"--loader", Loader, u"--volume", u"/dev/sda1"},
       "E: --volume: takes PARTUUID=<GUID> or PARTUUID=<8 hex>-<2 hex>"},
      {{u"--loader", Loader, u"--volume", u"PARTUUID=a4a3a2a1-a6a5-a8a7-a9aa-abacadaeafbg"},
       "E: --volume: takes PARTUUID=<GUID> or PARTUUID=<8 hex>-<2 hex>"},
      {{u"--loader", Loader, u"--volume", u"PARTUUID=0e5c8d3f-1"},
       "E: --volume: takes PARTUUID=<GUID> or PARTUUID=<8 hex>-<2 hex>"},
      {{u"--loader", Loader, u"--volume", OsUuid, u"--then", u"reboot"},
       "E: --volume PARTUUID=a6a5a4a3-a8a7-aaa9-abac-adaeafb0b1b2: matches no volume listed above",
       false},
      {{u"--loader", u"\\EFI\\none.efi"}, "E: --loader \\EFI\\none.efi: on no volume listed above",
       false},
      {{u"--loader", u"\\both.efi"},
       "E: --loader \\both.efi: on volumes 0 1 (listed above); choose one with --volume", false},
      {{u"--loader", Loader, u"--boot-volume", DataUuid, u"--bvsrd-as", u"data", u"--boot-fs",
        u"kfs"},
       "E: --boot-fs: the Boot Volume is a FAT volume, which takes none", false},
      {{u"--loader", Loader, u"--boot-volume", OsUuid, u"--bvsrd-as", u"data"},
       "E: --boot-volume PARTUUID=a6a5a4a3-a8a7-aaa9-abac-adaeafb0b1b2: no FAT volume listed "
       "above; for a partition add --boot-fs kfs|wfs|qfs",
       false},
      {{u"--loader", Loader, u"--boot-volume", Unknown, u"--bvsrd-as", u"path", u"--boot-fs",
        u"kfs"},
       "E: --boot-volume PARTUUID=00000000-0000-0000-0000-000000000000: matches no partition "
       "listed above",
       false},
  };
  // clang-format on
  for (const Row &R : Rows) {
    SimFirmware Fw;
    Machine M = AddBootMachine(Fw);
    AddFile(Fw, M.Esp, u"\\both.efi");
    AddFile(Fw, M.Data, u"\\both.efi");
    ExitOutcome Out = RunUnattended(Fw, R.Options);
    std::string Line = "{ERROR}" + R.Line + "\r\n";
    std::string Screen = Fw.Screen();
    if (R.BeforeScreen) {
      EXPECT_EQ(Screen, Line + RefusedEnd) << Screen;
    } else {
      EXPECT_TRUE(EndsWith(Screen, Line + RefusedEnd)) << Screen;
    }
    EXPECT_EQ(Fw.ExitStatus, EFI_INVALID_PARAMETER) << R.Line;
    EXPECT_TRUE(VariablesOf(Fw).Writes.empty()) << R.Line;
    EXPECT_EQ(Out.Record.Result, RUN_RESULT_FAILED) << R.Line;
    EXPECT_EQ(Out.Message, "E: the run failed, nothing more done, S: 8000000000000002");
  }
}

// The rule of the duplicate check decides: an entry BootOrder lists with the
// same paths and data is the entry, whatever its name; one it does not list
// is not. --boot-next then points BootNext at whichever entry boots this.
TEST(Unattended, AnEntryAlreadyListedIsReportedAndNeverWrittenAgain) {
  struct Row {
    const char *Name;
    std::vector<UINT16> Order;  // Boot0002 holds the same record as ours
    std::u16string Label;
    bool BootNext;
    std::string Closing;
    std::vector<std::u16string> Written;
  };
  // clang-format off
  const Row Rows[] = {
      {"listed, same label", {0, 1, 2}, u"Earlier", false,
       "Boot0002 \"Earlier\" already boots this; nothing written", {}},
      {"listed, label differs", {2, 0}, u"Mine", false,
       "Boot0002 \"Earlier\" already boots this; nothing written (label asked: \"Mine\")", {}},
      {"listed, BootNext", {0, 2}, u"Earlier", true,
       "Boot0002 \"Earlier\" already boots this; nothing written; BootNext set", {u"BootNext"}},
      {"unlisted", {0, 1}, u"Mine", false, "Boot0003 \"Mine\" created and added to BootOrder",
       {u"Boot0003", u"BootOrder"}},
      {"unlisted, BootNext", {0, 1}, u"Mine", true,
       "Boot0003 \"Mine\" created and added to BootOrder; BootNext set",
       {u"Boot0003", u"BootOrder", u"BootNext"}},
  };
  // clang-format on
  const SimPath Short = EspShortForm();
  for (const Row &R : Rows) {
    SimFirmware Fw;
    AddTypicalMachine(Fw);
    SimVariableStore &Vars = VariablesOf(Fw);
    Vars.Put(u"BootOrder", 7, OptionNumberBytes(R.Order));
    for (UINT16 N : {0, 1}) Vars.Put(OptionName(N), 7, {(UINT8)(0xB0 + N)});
    const std::vector<UINT8> Earlier = RecordBytes(Short.size(), u"Earlier", Short);
    Vars.Put(u"Boot0002", 7, Earlier);
    Words Options = {u"--loader", Loader, u"--label", R.Label, u"--yes"};
    if (R.BootNext) Options.push_back(u"--boot-next");
    ExitOutcome Out = RunUnattended(Fw, Options);
    EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS) << R.Name;
    EXPECT_EQ(Out.Message, R.Closing) << R.Name;
    EXPECT_TRUE(EndsWith(Fw.Screen(), R.Closing + "{NORMAL}\r\n")) << Fw.Screen();
    std::vector<std::u16string> Written;
    for (const SimVariableWrite &W : Vars.Writes) Written.push_back(W.Name);
    EXPECT_EQ(Written, R.Written) << R.Name;
    bool Listed = R.Written.empty() || R.Written[0] == u"BootNext";
    UINT16 Number = Listed ? 2 : 3;
    EXPECT_EQ(Out.Record.Result, Listed ? RUN_RESULT_UNCHANGED : RUN_RESULT_CREATED) << R.Name;
    EXPECT_EQ(Out.Record.OptionNumber, Number) << R.Name;
    EXPECT_EQ(Out.Record.BootNextSet, R.BootNext) << R.Name;
    EXPECT_EQ(Out.LoadOption, Listed ? Earlier : RecordBytes(Short.size(), R.Label, Short));
    if (R.BootNext) {
      const SimVariable &Next = Vars.Entries[GlobalKey(u"BootNext")];
      EXPECT_EQ(Next.Attributes, 7u) << R.Name;
      EXPECT_EQ(Next.Data, OptionNumberBytes({Number})) << R.Name;
    }
  }
}

// How an unattended run ends, by what it did and what --then asks: a reset
// only after a run that left the entry in place, the run's status otherwise.
TEST(Unattended, EndsWithoutAPromptAsThenAsksOnlyWhenTheEntryExists) {
  struct Row {
    const char *Name;
    Words Extra;
    std::string Keys;  // typed on the console: the confirmation without --yes
    SimCall Fails;     // a call made to fail, or SimCall::Count
    SimEnding Ending;
    EFI_RESET_TYPE Reset;
    EFI_STATUS Status;
    UINT8 Result;
  };
  // clang-format off
  const Row Rows[] = {
      {"exit by default", {u"--yes"}, "", SimCall::Count, SimEnding::Exit, EfiResetCold,
       EFI_SUCCESS, RUN_RESULT_CREATED},
      {"shutdown", {u"--yes", u"--then", u"shutdown"}, "", SimCall::Count, SimEnding::Shutdown,
       EfiResetShutdown, EFI_SUCCESS, 0},
      {"reboot", {u"--then", u"reboot"}, "y", SimCall::Count, SimEnding::Shutdown, EfiResetCold,
       EFI_SUCCESS, 0},
      {"declined: exit, not reboot", {u"--then", u"reboot"}, "n", SimCall::Count, SimEnding::Exit,
       EfiResetCold, EFI_ABORTED, RUN_RESULT_FAILED},
      {"write failed: exit, not reboot", {u"--yes", u"--then", u"reboot"}, "", SimCall::SetVariable,
       SimEnding::Exit, EfiResetCold, EFI_WRITE_PROTECTED, RUN_RESULT_FAILED},
      {"BootNext failed: its status", {u"--yes", u"--boot-next"}, "", SimCall::SetVariable,
       SimEnding::Exit, EfiResetCold, EFI_WRITE_PROTECTED, RUN_RESULT_FAILED},
      {"dry run", {u"--dry-run", u"--then", u"shutdown"}, "", SimCall::Count, SimEnding::Shutdown,
       EfiResetShutdown, EFI_SUCCESS, 0},
  };
  // clang-format on
  for (const Row &R : Rows) {
    SimFirmware Fw;
    AddTypicalMachine(Fw);
    Fw.Type(R.Keys);
    // The BootNext row lets the entry's two writes pass and fails the third.
    unsigned Nth =
        std::find(R.Extra.begin(), R.Extra.end(), u"--boot-next") != R.Extra.end() ? 3 : 1;
    if (R.Fails != SimCall::Count) Fw.FailCall(R.Fails, Nth, EFI_WRITE_PROTECTED);
    Words Options = {u"--loader", Loader};
    Options.insert(Options.end(), R.Extra.begin(), R.Extra.end());
    ExitOutcome Out = RunUnattended(Fw, Options, R.Ending);
    EXPECT_EQ(Fw.ExitStatus, R.Status) << R.Name;
    EXPECT_EQ(Fw.Screen().find("Press <s>"), std::string::npos) << R.Name;
    if (R.Ending == SimEnding::Shutdown) {
      EXPECT_EQ(Fw.ResetType, R.Reset) << R.Name;
      continue;
    }
    EXPECT_EQ(Out.Record.Result, R.Result) << R.Name;
    if (R.Result == RUN_RESULT_FAILED) {
      EXPECT_EQ(Out.Message, "E: the run failed, nothing more done, S: " + StatusDigits(R.Status));
      EXPECT_TRUE(Out.LoadOption.empty()) << R.Name;
    }
  }
}

// --dry-run: everything up to the confirmation, the record and its variable
// shown, nothing written; the record is the one the write would store.
TEST(Unattended, DryRunShowsTheRecordAndWritesNothing) {
  SimFirmware Fw;
  AddTypicalMachine(Fw);
  VariablesOf(Fw).Put(u"BootOrder", 7, OptionNumberBytes({0}));
  ExitOutcome Out = RunUnattended(Fw, {u"--loader", Loader, u"--label", u"D", u"--dry-run"});
  const SimPath Short = EspShortForm();
  const SimPath Record = RecordBytes(Short.size(), u"D", Short);
  EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS);
  EXPECT_TRUE(VariablesOf(Fw).Writes.empty());
  EXPECT_EQ(Out.Record.Result, RUN_RESULT_DRY_RUN);
  EXPECT_EQ(Out.Record.OptionNumber, 1);
  EXPECT_EQ(Out.LoadOption, Record);
  std::string Dump;
  for (size_t At = 0; At < Record.size(); At++) {
    char Digits[4];
    std::snprintf(Digits, sizeof Digits, "%02X", Record[At]);
    Dump += Digits;
    Dump += (At + 1) % 16 == 0 || At + 1 == Record.size() ? "\r\n" : " ";
  }
  EXPECT_TRUE(EndsWith(
      Fw.Screen(),
      "bytes (hexadecimal).\r\nDry run: \"{HIGHLIGHT}Boot0001{NORMAL}\" would hold these bytes and "
      "be added to \"BootOrder\":\r\n" +
          Dump +
          "{HIGHLIGHT}Boot0001 \"D\" would be created; dry run, nothing written"
          "{NORMAL}\r\n"))
      << Fw.Screen();
}

// --help and --version print and leave with success: no screen cleared, no
// question, nothing read; --then is listed only where it is accepted.
TEST(Unattended, HelpAndVersionPrintAndSucceed) {
  const std::pair<Words, std::string> Rows[] = {
      {{u"--help"}, "  --then exit|shutdown|reboot   how the run ends (default exit)\r\n"},
      {{u"--loader", Loader, u"--version"}, "addbootentry " ADDBOOTENTRY_VERSION "\r\n"},
  };
  for (const auto &[Options, Expected] : Rows) {
    SimFirmware Fw;
    AddTypicalMachine(Fw);
    EXPECT_EQ(Fw.RunWith(Options), SimEnding::Exit);
    EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS);
    EXPECT_TRUE(Fw.ExitData.empty());
    EXPECT_EQ(Fw.LiveBuffers(), 0u);
    EXPECT_NE(Fw.Screen().find(Expected), std::string::npos) << Fw.Screen();
    EXPECT_EQ(Fw.Screen().find("Let's create"), std::string::npos);
    EXPECT_TRUE(VariablesOf(Fw).Reads.empty());
  }
}

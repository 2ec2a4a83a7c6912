// SPDX-License-Identifier: BSD-2-Clause-Patent
// Where the firmware application takes its option words: its load options
// when they are a command line of ours, else addbootentry.conf beside the
// image. Each case gives the words, or no options, or the one message.
#include <gtest/gtest.h>

#include "app/option_sources.h"
#include "app/options_file.h"
#include "session.h"

using namespace std::string_literals;

typedef std::vector<std::u16string> WordList;

static WordList WordsOf(const OptionWords &Words) {
  WordList List;
  for (UINTN I = 0; I < Words.Count; I++) List.push_back(Words.Words[I]);
  return List;
}

struct LoadOptionsCase {
  const char *Name;
  std::vector<UINT8> Bytes;
  OptionsFound Found;
  WordList Words;
  std::string Screen;  // the message of a refusal
};

static const std::string TooLong =
    "{ERROR}E: the command line is too long: at most 64 words and 4096 characters.\r\n";

TEST(CommandLine, OnlyTextWhoseFirstOrSecondWordIsAnOptionCounts) {
  const std::u16string Shell = u"fs0:\\EFI\\tools\\addbootentryx64.efi";
  const std::vector<UINT8> Guid = {0x4E, 0xAC, 0x08, 0x81, 0x11, 0x9F, 0x59, 0x4D,
                                   0x85, 0x0E, 0xE2, 0x1A, 0x52, 0x2C, 0x59, 0xB2};
  std::u16string ManyWords = Shell;
  for (int I = 0; I < 65; I++) ManyWords += u" --yes";
  std::u16string Longest = u"--label " + std::u16string(4088, u'x');  // 4096 characters
  std::u16string Huge = u"--yes";
  while (Huge.size() < 0x8000) Huge += u" --yes";  // above 64 KiB with its NUL
  // clang-format off
  const LoadOptionsCase Cases[] = {
      {"the Shell's line", Ucs2Bytes(Shell + u" --loader \\EFI\\debian\\shimx64.efi --yes"),
       OptionsGiven, {u"--loader", u"\\EFI\\debian\\shimx64.efi", u"--yes"}, ""},
      {"a boot entry's options, no NUL", Ucs2Bytes(u"--label Debian", false), OptionsGiven,
       {u"--label", u"Debian"}, ""},
      {"trailing NULs, tabs and runs of blanks", Ucs2Bytes(u"x.efi\t --yes  --dry-run \0\0"s),
       OptionsGiven, {u"--yes", u"--dry-run"}, ""},
      {"quotes group and vanish, ^ escapes",
       Ucs2Bytes(Shell + u" --label \"Debian 12\" --root a\"b c\"d --label ^\"q^^^\" --label \"\""),
       OptionsGiven,
       {u"--label", u"Debian 12", u"--root", u"ab cd", u"--label", u"\"q^\"", u"--label", u""}, ""},
      {"the Shell without arguments", Ucs2Bytes(Shell), OptionsNone, {}, ""},
      {"U-Boot's bootargs", Ucs2Bytes(u"console=ttyAMA0 root=/dev/vda2 --yes"), OptionsNone, {},
       ""},
      {"EDK2's GUID", Guid, OptionsNone, {}, ""},
      {"odd size", {'-', 0, '-', 0, 'y'}, OptionsNone, {}, ""},
      {"empty", {}, OptionsNone, {}, ""},
      {"NUL alone", {0, 0}, OptionsNone, {}, ""},
      {"a control character", Ucs2Bytes(u"--yes\x01"), OptionsNone, {}, ""},
      {"half a surrogate pair", Ucs2Bytes(u"--label \xD800"), OptionsNone, {}, ""},
      {"text after the NUL", Ucs2Bytes(u"--yes\0--dry-run"s), OptionsNone, {}, ""},
      {"blanks only", Ucs2Bytes(u" \t "), OptionsNone, {}, ""},
      {"65 words", Ucs2Bytes(ManyWords), OptionsRefused, {}, TooLong},
      {"the longest text", Ucs2Bytes(Longest), OptionsGiven,
       {u"--label", std::u16string(4088, u'x')}, ""},
      {"one character more", Ucs2Bytes(Longest + u"x"), OptionsRefused, {}, TooLong},
      {"above 64 KiB: not read", Ucs2Bytes(Huge), OptionsNone, {}, ""},
      {"an open quote", Ucs2Bytes(u"--label \"Debian"), OptionsRefused, {},
       "{ERROR}E: the command line has a quote (\") that is not closed.\r\n"},
  };
  // clang-format on
  for (const LoadOptionsCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    SimFirmware Fw;
    static OptionWords Words;
    OptionsFound Found = OptionsNone;
    // The firmware's buffer, exactly as large as its size says.
    std::vector<UINT8> Given = Case.Bytes;
    Fw.Call([&] {
      const UINT8 *Data = Given.empty() ? nullptr : Given.data();
      Found = SplitCommandLine(Data, (UINT32)Given.size(), &Words);
    });
    EXPECT_EQ(Found, Case.Found);
    EXPECT_EQ(WordsOf(Words), Case.Words);
    EXPECT_EQ(Fw.Screen(), Case.Screen);
  }
}

struct ConfCase {
  const char *Name;
  std::string Text;
  WordList Words;
  std::string Screen;  // the message naming the bad line
};

static std::string LineReport(int Line, const std::string &Reason) {
  return "{ERROR}E: addbootentry.conf, line " + std::to_string(Line) + ": " + Reason + "\r\n";
}

TEST(OptionsFile, EachLineIsAnOptionAndTheRestOfTheLineItsValue) {
  const std::string NotUtf8 = "not UTF-8.";
  const std::string Control = "a control character; one space separates an option from its value.";
  std::string Many;
  for (int I = 0; I < 65; I++) Many += "--yes\n";
  // clang-format off
  const ConfCase Cases[] = {
      {"LF, comments, blank lines",
       "# provisioning\n\n--loader \\EFI\\debian\\shimx64.efi\n--yes\n",
       {u"--loader", u"\\EFI\\debian\\shimx64.efi", u"--yes"}, ""},
      {"CRLF, no line break at the end, byte order mark",
       "\xEF\xBB\xBF--label Debian 12\r\n  # indented comment\r\n \t\r\n--boot-next",
       {u"--label", u"Debian 12", u"--boot-next"}, ""},
      {"the value as it stands: quotes, '#', inner blanks",
       "--label \"A #1\"  x\n--root  lead\n", {u"--label", u"\"A #1\"  x", u"--root", u" lead"},
       ""},
      {"blanks around the line are dropped", "\t --label Debian \t\r\n--yes \n",
       {u"--label", u"Debian", u"--yes"}, ""},
      {"a value that is empty once the blanks are gone", "--label \n", {u"--label"}, ""},
      {"UTF-8 up to U+FFFD", "--label \xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xEF\xBF\xBD\n",
       {u"--label", u"\u00E9t\u00E9 \u20AC \uFFFD"}, ""},
      {"nothing but comments", "# none\n\n", {}, ""},
      {"empty", "", {}, ""},
      {"a word that is no option", "--yes\nloader \\EFI\\x.efi\n", {},
       LineReport(2, "an option begins with --.")},
      {"a lone dash pair's neighbour", "-\n", {}, LineReport(1, "an option begins with --.")},
      {"a tab between option and value", "--label\tDebian\n", {}, LineReport(1, Control)},
      {"a CR inside a line", "--label A\rB\n", {}, LineReport(1, Control)},
      {"a NUL", "--label A\0B\n"s, {}, LineReport(1, Control)},
      {"DEL", "# ok\n--label A\x7F\n", {}, LineReport(2, Control)},
      {"Latin-1", "--label \xE9t\xE9\n", {}, LineReport(1, NotUtf8)},
      {"overlong", "--label \xC0\xAF\n", {}, LineReport(1, NotUtf8)},
      {"overlong of three bytes", "--label \xE0\x80\xAF\n", {}, LineReport(1, NotUtf8)},
      {"a surrogate", "--label \xED\xA0\x80\n", {}, LineReport(1, NotUtf8)},
      {"cut short at the end", "--label \xE2\x82", {}, LineReport(1, NotUtf8)},
      {"cut short by the line break", "--label \xE2\x82\n--yes\n", {}, LineReport(1, NotUtf8)},
      {"a stray continuation byte", "\n\n--label \x80\n", {}, LineReport(3, NotUtf8)},
      {"above U+FFFF", "--label \xF0\x9F\x98\x80\n", {},
       LineReport(1, "a character above U+FFFF, which UCS-2 cannot hold.")},
      {"65 words", Many, {}, LineReport(65, "too many options.")},
  };
  // clang-format on
  for (const ConfCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    SimFirmware Fw;
    static OptionWords Words;
    // A heap buffer of exactly the file's size: a read past it is caught.
    std::vector<UINT8> Bytes(Case.Text.begin(), Case.Text.end());
    BOOLEAN Read = FALSE;
    Fw.Call([&] { Read = ReadOptionsText(Bytes.data(), Bytes.size(), &Words); });
    EXPECT_EQ(Read, Case.Screen.empty());
    EXPECT_EQ(WordsOf(Words), Case.Words);
    EXPECT_EQ(Fw.Screen(), Case.Screen);
  }
}

TEST(OptionsFile, ItsPathIsTheImagesFolder) {
  struct PathCase {
    const char *Name;
    SimPath ImagePath;
    std::u16string Path;  // empty: none
  };
  const PathCase Cases[] = {
      {"one node", FilePathNode(u"\\EFI\\BOOT\\BOOTX64.EFI") + EndNode(),
       u"\\EFI\\BOOT\\addbootentry.conf"},
      {"a node for each name, after a hard-drive node",
       HardDriveNode(1, 0x800, 0x1000) + FilePathNode(u"\\EFI") + FilePathNode(u"tools") +
           FilePathNode(u"addbootentryaa64.efi") + EndNode(),
       u"\\EFI\\tools\\addbootentry.conf"},
      {"forward slashes", FilePathNode(u"/EFI/BOOT/BOOTAA64.EFI") + EndNode(),
       u"\\EFI\\BOOT\\addbootentry.conf"},
      {"the root folder", FilePathNode(u"\\grubaa64.efi") + EndNode(), u"\\addbootentry.conf"},
      {"a bare name", FilePathNode(u"x.efi") + EndNode(), u"\\addbootentry.conf"},
      {"no file path node", HardDriveNode(1, 0x800, 0x1000) + EndNode(), u""},
      {"a node too short", SimPath{0x04, 0x04, 0x02, 0x00} + EndNode(), u""},
      {"longer than the room",
       FilePathNode(u"\\" + std::u16string(300, u'a') + u"\\x.efi") + EndNode(), u""},
  };
  for (const PathCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    CHAR16 Path[256] = {};
    BOOLEAN Made = OptionsFilePath(
        reinterpret_cast<const EFI_DEVICE_PATH_PROTOCOL *>(Case.ImagePath.data()), Path, 256);
    EXPECT_EQ(Made, !Case.Path.empty());
    if (Made) EXPECT_EQ(std::u16string(Path), Case.Path);
  }
}

static const std::u16string ConfPath = u"\\EFI\\BOOT\\addbootentry.conf";

struct SourceCase {
  const char *Name;
  std::u16string CommandLine;  // the Shell's, empty: none
  std::string Conf;            // "-": no such file
  SimCall Call;                // SimCall::Count: no fault
  EFI_STATUS Status;
  SimLie How;
  OptionsFound Found;
  EFI_STATUS Failure;
  WordList Words;
  std::string Screen;
};

// The image on the ESP, as removable media starts it.
TEST(OptionSources, TheCommandLineElseTheFileBesideTheImage) {
  const std::string Conf = "--loader \\EFI\\debian\\shimx64.efi\n--yes\n";
  const WordList ConfWords = {u"--loader", u"\\EFI\\debian\\shimx64.efi", u"--yes"};
  const std::u16string Shell = u"fs0:\\EFI\\BOOT\\BOOTAA64.EFI";
  const SimCall None = SimCall::Count;
  const SimLie Fail = SimLie::Fail;
  // clang-format off
  const SourceCase Cases[] = {
      {"the command line wins", Shell + u" --dry-run", Conf, None, 0, Fail, OptionsGiven,
       EFI_SUCCESS, {u"--dry-run"}, ""},
      {"a program path alone: the file", Shell, Conf, None, 0, Fail, OptionsGiven, EFI_SUCCESS,
       ConfWords, ""},
      {"no file", u"", "-", None, 0, Fail, OptionsNone, EFI_SUCCESS, {}, ""},
      {"a file of comments", u"", "# nothing yet\n", None, 0, Fail, OptionsNone, EFI_SUCCESS, {},
       ""},
      {"exactly 4096 bytes", u"", "--yes\n#" + std::string(4096 - 8, 'c') + "\n", None, 0, Fail,
       OptionsGiven, EFI_SUCCESS, {u"--yes"}, ""},
      {"4097 bytes", u"", "--yes\n#" + std::string(4096 - 7, 'c') + "\n", None, 0, Fail,
       OptionsRefused, EFI_INVALID_PARAMETER, {},
       "{ERROR}E: addbootentry.conf is larger than 4096 bytes.\r\n"},
      {"a bad line", u"", "--yes\nyes\n", None, 0, Fail, OptionsRefused, EFI_INVALID_PARAMETER, {},
       LineReport(2, "an option begins with --.")},
      {"a bad command line", Shell + u" --label \"x", Conf, None, 0, Fail, OptionsRefused,
       EFI_INVALID_PARAMETER, {},
       "{ERROR}E: the command line has a quote (\") that is not closed.\r\n"},
      {"no Loaded Image", u"", Conf, SimCall::HandleProtocol, EFI_UNSUPPORTED, Fail, OptionsNone,
       EFI_SUCCESS, {}, ""},
      {"a NULL Loaded Image", u"", Conf, SimCall::HandleProtocol, 0, SimLie::NullResult,
       OptionsNone, EFI_SUCCESS, {}, ""},
      {"OpenVolume fails", u"", Conf, SimCall::OpenVolume, EFI_NO_MEDIA, Fail, OptionsRefused,
       EFI_NO_MEDIA, {},
       "{ERROR}E: opening the volume of addbootentry.conf, S: 800000000000000C\r\n"},
      {"Open is denied", u"", Conf, SimCall::FileOpen, EFI_ACCESS_DENIED, Fail, OptionsRefused,
       EFI_ACCESS_DENIED, {}, "{ERROR}E: opening addbootentry.conf, S: 800000000000000F\r\n"},
      {"Open warns", u"", Conf, SimCall::FileOpen, EFI_WARN_UNKNOWN_GLYPH, SimLie::Warning,
       OptionsRefused, EFI_WARN_UNKNOWN_GLYPH, {},
       "{ERROR}E: opening addbootentry.conf, S: 0000000000000001\r\n"},
      {"Open gives NULL", u"", Conf, SimCall::FileOpen, 0, SimLie::NullResult, OptionsRefused,
       EFI_DEVICE_ERROR, {}, "{ERROR}E: opening addbootentry.conf, S: 0000000000000000\r\n"},
      {"Read fails", u"", Conf, SimCall::FileRead, EFI_DEVICE_ERROR, Fail, OptionsRefused,
       EFI_DEVICE_ERROR, {}, "{ERROR}E: reading addbootentry.conf, S: 8000000000000007\r\n"},
      {"Read claims more than asked", u"", Conf, SimCall::FileRead, 0, SimLie::SizeLarger,
       OptionsRefused, EFI_DEVICE_ERROR, {},
       "{ERROR}E: reading addbootentry.conf, S: 8000000000000007\r\n"},
  };
  // clang-format on
  for (const SourceCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    SimFirmware Fw;
    std::set<std::u16string> Files = {LoaderPath};
    if (Case.Conf != "-") Files.insert(ConfPath);
    EFI_HANDLE Esp = AddVolume(Fw, DiskPath + EspHardDrive + EndNode(), u"ESP", Files);
    if (Case.Conf != "-") PutFileContents(Fw, Esp, ConfPath, Case.Conf);
    SetImageFile(Fw, Esp, FilePathNode(LoaderPath) + EndNode());
    if (!Case.CommandLine.empty()) SetLoadOptions(Fw, Ucs2Bytes(Case.CommandLine));
    if (Case.Call != None) Fw.FailCall(Case.Call, 1, Case.Status, Case.How);
    static OptionWords Words;
    OptionsFound Found = OptionsNone;
    EFI_STATUS Failure = ~0ULL;
    Fw.Call([&] { Found = GatherOptionWords(&Words, &Failure); });
    EXPECT_EQ(Found, Case.Found);
    EXPECT_EQ(Failure, Case.Failure);
    EXPECT_EQ(WordsOf(Words), Case.Words);
    EXPECT_EQ(Fw.Screen(), Case.Screen);
    EXPECT_EQ(OpenFileCount(Fw), 0u);
    EXPECT_EQ(Fw.LiveBuffers(), 0u);
  }
}

// Through shim the running image is the second stage, in the folder of the
// entry's loader: the file beside it is read. An image from no file system
// reads none, even when its device has one.
TEST(OptionSources, TheFileIsLookedForBesideTheImageThatRuns) {
  struct WhereCase {
    const char *Name;
    SimPath Image;
    bool Device;
    std::u16string Conf;
    OptionsFound Found;
  };
  const WhereCase Cases[] = {
      {"second stage", FilePathNode(u"\\EFI\\tools\\grubaa64.efi") + EndNode(), true,
       u"\\EFI\\tools\\addbootentry.conf", OptionsGiven},
      {"not the first stage's folder", FilePathNode(u"\\EFI\\tools\\grubaa64.efi") + EndNode(),
       true, ConfPath, OptionsNone},
      {"no device", FilePathNode(LoaderPath) + EndNode(), false, ConfPath, OptionsNone},
  };
  for (const WhereCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    SimFirmware Fw;
    EFI_HANDLE Esp = AddVolume(Fw, DiskPath + EspHardDrive + EndNode(), u"ESP", {Case.Conf});
    PutFileContents(Fw, Esp, Case.Conf, "--yes\n");
    SetImageFile(Fw, Case.Device ? Esp : nullptr, Case.Image);
    static OptionWords Words;
    OptionsFound Found = OptionsRefused;
    EFI_STATUS Failure = ~0ULL;
    Fw.Call([&] { Found = GatherOptionWords(&Words, &Failure); });
    EXPECT_EQ(Found, Case.Found);
    EXPECT_EQ(Words.Count, Case.Found == OptionsGiven ? 1u : 0u);
  }
}

// A stick that holds the image and its conf file, beside the typical
// machine; the loader is on the machine's ESP alone.
static EFI_HANDLE AddStick(SimFirmware &Fw, const std::string &Conf) {
  const std::u16string Image = u"\\EFI\\tools\\addbootentryaa64.efi";
  const std::u16string StickConf = u"\\EFI\\tools\\addbootentry.conf";
  SimPath Path = PciRootNode(0) + PciNode(2, 0) + HardDriveNode(1, 0x800, 0x1000) + EndNode();
  EFI_HANDLE Stick = AddVolume(Fw, Path, u"USB", {Image});
  if (Conf != "-") {
    AddFile(Fw, Stick, StickConf);
    PutFileContents(Fw, Stick, StickConf, Conf);
  }
  SetImageFile(Fw, Stick, FilePathNode(Image) + EndNode());
  return Stick;
}

// Through the entry point: the words of a command line or of a conf file
// write what the dialogue writes when the same answers are typed; bad ones
// get their message, the run's failed closing line, Exit with
// EFI_INVALID_PARAMETER, and no write.
TEST(OptionSources, TheEntryPointRunsTheOptionsOfEitherSource) {
  struct Row {
    const char *Name;
    std::u16string CommandLine;
    std::string Conf;     // "-": none on the stick
    std::string Keys;     // the typed dialogue's, and "y" for a run without --yes
    std::string Message;  // of a refusal
  };
  const std::string Loader = "\\EFI\\BOOT\\BOOTAA64.EFI";
  const std::u16string Shell =
      u"fs0:\\EFI\\tools\\addbootentryaa64.efi --loader \\EFI\\BOOT\\BOOTAA64.EFI";
  const Row Rows[] = {
      {"the Shell's line, a quoted label", Shell + u" --label \"Debian 12\" --yes", "-",
       TypicalSession("0", "Debian 12") + "y", ""},
      {"a boot entry's data, a BVSRD",
       u"--loader \\EFI\\BOOT\\BOOTAA64.EFI "
       u"--boot-volume PARTUUID=A5A4A3A2-A7A6-A9A8-AAAB-ACADAEAFB0B1 --bvsrd-as data --yes",
       "-", BootSession("yny1\r") + "y", ""},
      {"the conf file, CRLF, a '#' in the label", u"",
       "# provisioning\r\n--loader " + Loader + "\r\n--label Lab #3\r\n--yes\r\n",
       TypicalSession("0", "Lab #3") + "y", ""},
      {"the conf file without --yes: the question is asked", u"",
       "--label \xC3\xA9t\xC3\xA9\n--loader " + Loader + "\n", "", ""},
      {"a line of the conf file", u"", "--loader " + Loader + "\nyes\n", "",
       "E: addbootentry.conf, line 2: an option begins with --."},
      {"a value left out in the conf file", u"", "--label\n--loader " + Loader + "\n", "",
       "E: --label: needs a value"},
      {"the Linux program's option on the command line", Shell + u" --json", "-", "",
       "E: --json: no such option (--help lists them)"},
  };
  for (const Row &R : Rows) {
    SCOPED_TRACE(R.Name);
    SimFirmware Typed;
    SimFirmware Answered;
    AddBootMachine(Typed);
    AddStick(Typed, "-");
    AddBootMachine(Answered);
    AddStick(Answered, R.Conf);
    if (!R.CommandLine.empty()) SetLoadOptions(Answered, Ucs2Bytes(R.CommandLine));
    if (R.Message.empty()) {
      // The typed dialogue of the row without keys: the same answers by hand.
      std::string Keys = R.Keys.empty() ? TypicalSession("0", "\xE9t\xE9") + "y" : R.Keys;
      RunToClosingPrompt(Typed, Keys);
      if (R.Keys.empty()) Answered.Type("y");
      EXPECT_EQ(Answered.Run(), SimEnding::Exit) << Answered.Screen();
      EXPECT_EQ(Answered.ExitStatus, EFI_SUCCESS);
      EXPECT_EQ(VariablesOf(Answered).Entries.size(), 2u);
      EXPECT_TRUE(VariablesOf(Answered).Entries == VariablesOf(Typed).Entries);
    } else {
      EXPECT_EQ(Answered.Run(), SimEnding::Exit);
      EXPECT_EQ(Answered.ExitStatus, EFI_INVALID_PARAMETER);
      EXPECT_EQ(Answered.Screen(), "{ERROR}" + R.Message +
                                       "\r\nE: the run failed, nothing more done, S: "
                                       "8000000000000002{NORMAL}\r\n");
      EXPECT_TRUE(VariablesOf(Answered).Writes.empty());
    }
    EXPECT_EQ(Answered.NextKey, Answered.Keys.size());
    EXPECT_EQ(Answered.LiveBuffers(), 0u);
    EXPECT_EQ(OpenFileCount(Answered), 0u);
  }
}

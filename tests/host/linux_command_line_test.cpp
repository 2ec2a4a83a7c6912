// SPDX-License-Identifier: BSD-2-Clause-Patent
// The program's arguments into the parser's words: UTF-8 decoded strictly,
// what UCS-2 cannot hold refused in one line naming the option, and --json
// taken out only where it stands as an option.
#include <gtest/gtest.h>

#include "linux/command_line.h"

struct LineCase {
  std::vector<const char *> Arguments;  // after the program's name
  std::vector<std::u16string> Words;
  BOOLEAN Json;
  std::string Refusal;
};

TEST(LinuxCommandLine, ArgumentsBecomeWordsOrOneRefusal) {
  // clang-format off
  const LineCase Cases[] = {
      {{}, {}, FALSE, ""},
      {{"--loader", "\\EFI\\a.efi", "--yes"}, {u"--loader", u"\\EFI\\a.efi", u"--yes"}, FALSE, ""},
      {{"--json", "--loader", "\\x"}, {u"--loader", u"\\x"}, TRUE, ""},
      {{"--loader", "\\x", "--json"}, {u"--loader", u"\\x"}, TRUE, ""},
      {{"--label", "--json", "--yes"}, {u"--label", u"--json", u"--yes"}, FALSE, ""},  // a label
      {{"--label", "--label", "--json"}, {u"--label", u"--label"}, TRUE, ""},
      {{"--json", "--json"}, {}, TRUE, "--json: given twice"},
      {{"--then", "reboot"}, {u"--then", u"reboot"}, FALSE, ""},  // the parser refuses it here
      {{"--label", "D\xC3\xA9" "bian \xE2\x82\xAC\xEF\xBF\xBD"}, {u"--label", u"Débian €\xFFFD"}, FALSE, ""},
      {{"--label", "Debian \xF0\x9F\x98\x80"}, {}, FALSE,
       "--label: its value: U+1F600 is beyond the firmware's 16-bit characters (UCS-2, up to U+FFFF)"},
      {{"--label", "Caf\xE9"}, {}, FALSE, "--label: its value: byte 4 (0xE9) is not UTF-8"},
      {{"--root", "\xC3\x0D"}, {}, FALSE, "--root: its value: byte 1 (0xC3) is not UTF-8"},
      {{"--label", "\xC0\xAF"}, {}, FALSE, "--label: its value: byte 1 (0xC0) is not UTF-8"},  // overlong
      {{"--label", "\xE0\x80\xAF"}, {}, FALSE, "--label: its value: byte 1 (0xE0) is not UTF-8"},
      {{"--label", "\xED\xA0\x80"}, {}, FALSE, "--label: its value: byte 1 (0xED) is not UTF-8"},  // surrogate
      {{"--label", "\xF4\x90\x80\x80"}, {}, FALSE, "--label: its value: byte 1 (0xF4) is not UTF-8"},
      {{"--label", "ab\xE2\x82"}, {}, FALSE, "--label: its value: byte 3 (0xE2) is not UTF-8"},  // cut short
      {{"--yes", "\x9B"}, {}, FALSE, "argument 2: byte 1 (0x9B) is not UTF-8"},
  };
  // clang-format on
  for (const LineCase &Case : Cases) {
    std::vector<const char *> Arguments = {"addbootentry"};
    Arguments.insert(Arguments.end(), Case.Arguments.begin(), Case.Arguments.end());
    CommandLine Line;
    std::string Refusal = ReadCommandLine((int)Arguments.size(), Arguments.data(), &Line);
    SCOPED_TRACE(Arguments.size() > 1 ? Arguments[Arguments.size() - 1] : "none");
    EXPECT_EQ(Refusal, Case.Refusal);
    if (Case.Refusal.empty()) {
      EXPECT_EQ(Line.Words, Case.Words);
      EXPECT_EQ(Line.Json, Case.Json);
    }
  }
}

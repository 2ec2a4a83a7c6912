// SPDX-License-Identifier: BSD-2-Clause-Patent
// The program's arguments as the option words of the application's parser:
// UTF-8 into the firmware's 16-bit characters, and --json, which only this
// program has, taken out first.
#pragma once
#include <string>
#include <vector>

#include "efi.h"

struct CommandLine {
  std::vector<std::u16string> Words;  // without the program's name and --json
  bool Json;
};

// Empty when every argument is UTF-8 text that UCS-2 holds; otherwise the
// one line that names the argument (the option, for a value) and says why not.
std::string ReadCommandLine(int Count, const char *const *Arguments, CommandLine *Line);

// Whether the option Word takes the next word as its value.
bool TakesValue(const std::u16string &Word);

// A word back as UTF-8 (it holds no surrogate: ReadCommandLine refuses them).
std::string Utf8Of(const std::u16string &Word);
// UTF-8 text (a message) as UCS-2; what it cannot hold becomes U+FFFD.
std::u16string Utf16Of(const std::string &Text);

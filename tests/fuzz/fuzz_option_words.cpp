// SPDX-License-Identifier: BSD-2-Clause-Patent
// The two readers of untrusted option text over arbitrary bytes: the first
// byte chooses the command-line splitter (the rest as a boot entry's
// optional data) or the conf file reader (the rest as the file). The bytes
// are copied into a heap buffer of exactly their size, so AddressSanitizer
// reports any read past them. Whatever they hold, the words lie inside the
// text in their order, each ends in a NUL there, and no word holds a character that moves
// the cursor (a conf file holds none at all; a command line only a quoted
// tab); an options result begins with an option.
#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "app/options_file.h"
#include "sim_firmware.h"

static OptionWords Words;

static void CheckWords(bool TabAllowed) {
  if (Words.Count > OPTION_WORDS_CAPACITY || Words.TextUsed > OPTION_TEXT_CAPACITY) std::abort();
  const CHAR16 *Next = Words.Text;
  const CHAR16 *End = Words.Text + Words.TextUsed;
  for (UINTN I = 0; I < Words.Count; I++) {
    // Words follow one another in the text (the program's path, dropped,
    // may lie between), each through its NUL.
    if (Words.Words[I] < Next || Words.Words[I] >= End) std::abort();
    Next = Words.Words[I];
    while (Next < End && *Next != 0) {
      if ((*Next < 0x20 && !(TabAllowed && *Next == u'\t')) || *Next == 0x7F) std::abort();
      Next++;
    }
    if (Next == End) std::abort();
    Next++;
  }
}

extern "C" int LLVMFuzzerTestOneInput(const UINT8 *Data, size_t Size) {
  if (Size == 0 || Size - 1 > 2 * OPTIONS_FILE_MAX_BYTES) return -1;
  UINT8 *Bytes = static_cast<UINT8 *>(std::malloc(Size == 1 ? 1 : Size - 1));
  std::memcpy(Bytes, Data + 1, Size - 1);
  SimFirmware Fw;
  Fw.KeepsCells = false;
  bool CommandLine = (Data[0] & 1) == 0;
  Fw.Call([&] {
    if (CommandLine) {
      OptionsFound Found =
          SplitCommandLine(Size == 1 ? nullptr : Bytes, (UINT32)(Size - 1), &Words);
      CheckWords(true);
      if (Found != OptionsGiven && Words.Count != 0) std::abort();
      if (Found == OptionsGiven &&
          (Words.Count == 0 || Words.Words[0][0] != u'-' || Words.Words[0][1] != u'-')) {
        std::abort();
      }
    } else if (Size - 1 <= OPTIONS_FILE_MAX_BYTES) {
      BOOLEAN Read = ReadOptionsText(Bytes, Size - 1, &Words);
      CheckWords(false);
      if (!Read && Words.Count != 0) std::abort();
    }
  });
  std::free(Bytes);
  return 0;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The option words of an unattended run, as the option parser takes them:
// NUL-terminated UCS-2 strings, the option and its value each a word of its
// own. The command line and addbootentry.conf are both copied into one such
// record, which the entry point keeps for the whole run, since the parsed
// options point into its text.
#pragma once
#include "efi.h"

// addbootentry.conf is refused above this size; its text, every word with
// its NUL, never needs more characters than the file has bytes, plus one.
#define OPTIONS_FILE_MAX_BYTES 4096
#define OPTION_TEXT_CAPACITY (OPTIONS_FILE_MAX_BYTES + 1)
// Far above the words of every option given once.
#define OPTION_WORDS_CAPACITY 64

struct OptionWords {
  UINTN Count;
  const CHAR16 *Words[OPTION_WORDS_CAPACITY];
  UINTN TextUsed;
  CHAR16 Text[OPTION_TEXT_CAPACITY];
  BOOLEAN InWord;  // a word is begun and not yet ended
};

void ClearOptionWords(OptionWords *Words);
// Appending fails (FALSE, nothing changed) when the text or the word list is
// full; a character appended outside a word begins one.
BOOLEAN AppendToWord(OptionWords *Words, CHAR16 Char);
// Ends the word begun (an empty one if none is): FALSE when the text is full.
BOOLEAN EndWord(OptionWords *Words);

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/option_words.h"

void ClearOptionWords(OptionWords *Words) {
  Words->Count = 0;
  Words->TextUsed = 0;
  Words->InWord = FALSE;
}

static BOOLEAN BeginWord(OptionWords *Words) {
  if (Words->Count == OPTION_WORDS_CAPACITY) {
    return FALSE;
  }
  Words->Words[Words->Count] = Words->Text + Words->TextUsed;
  Words->InWord = TRUE;
  return TRUE;
}

// One character is always kept free behind a word for its NUL.
BOOLEAN AppendToWord(OptionWords *Words, CHAR16 Char) {
  if (OPTION_TEXT_CAPACITY - Words->TextUsed < 2 || (!Words->InWord && !BeginWord(Words))) {
    return FALSE;
  }
  Words->Text[Words->TextUsed++] = Char;
  return TRUE;
}

BOOLEAN EndWord(OptionWords *Words) {
  if (Words->TextUsed == OPTION_TEXT_CAPACITY || (!Words->InWord && !BeginWord(Words))) {
    return FALSE;
  }
  Words->Text[Words->TextUsed++] = 0;
  Words->Count++;
  Words->InWord = FALSE;
  return TRUE;
}

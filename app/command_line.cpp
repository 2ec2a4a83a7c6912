// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/command_line.h"

#include "console/output.h"

static BOOLEAN IsTextCharacter(CHAR16 Char) {
  if (Char == u'\t') {
    return TRUE;
  }
  if (Char < 0x20 || Char == 0x7F) {
    return FALSE;
  }
  return (Char < 0xD800 || Char > 0xDFFF) && Char < 0xFFFE;
}

// FALSE when the characters are no UCS-2 text; else Length is the number
// before the first NUL. Size is in characters; nothing past it is read.
static BOOLEAN MeasureText(const CHAR16 *Chars, UINTN Size, UINTN *Length) {
  UINTN Count = 0;
  while (Count < Size && Chars[Count] != 0) {
    if (!IsTextCharacter(Chars[Count])) {
      return FALSE;
    }
    Count++;
  }
  for (UINTN At = Count; At < Size; At++) {
    if (Chars[At] != 0) {
      return FALSE;
    }
  }
  *Length = Count;
  return TRUE;
}

struct SplitResult {
  BOOLEAN Full;       // the words or the text ran out of room
  BOOLEAN OpenQuote;  // a quote was not closed
};

static SplitResult SplitWords(const CHAR16 *Chars, UINTN Length, OptionWords *Words) {
  SplitResult Result = {FALSE, FALSE};
  BOOLEAN Quoted = FALSE;
  BOOLEAN Begun = FALSE;  // a word has begun, if only with an empty quote
  for (UINTN At = 0; At < Length && !Result.Full; At++) {
    CHAR16 Char = Chars[At];
    if (!Quoted && (Char == u' ' || Char == u'\t')) {
      Result.Full = Begun && !EndWord(Words);
      Begun = FALSE;
      continue;
    }
    Begun = TRUE;
    if (Char == u'^' && At + 1 < Length) {
      Char = Chars[++At];
    } else if (Char == u'"') {
      Quoted = !Quoted;
      continue;
    }
    Result.Full = !AppendToWord(Words, Char);
  }
  if (Begun && !Result.Full) {
    Result.Full = !EndWord(Words);
  }
  Result.OpenQuote = Quoted;
  return Result;
}

static BOOLEAN IsOption(const CHAR16 *Word) { return Word[0] == u'-' && Word[1] == u'-'; }

// Drops the first word, the program's path.
static void DropFirstWord(OptionWords *Words) {
  for (UINTN At = 1; At < Words->Count; At++) {
    Words->Words[At - 1] = Words->Words[At];
  }
  Words->Count--;
}

// Far above any command line of ours: larger load options are not even
// read (a firmware's size may be wrong, its buffer smaller).
#define LOAD_OPTIONS_MAX_BYTES 0x10000

OptionsFound SplitCommandLine(const VOID *LoadOptions, UINT32 LoadOptionsSize, OptionWords *Words) {
  ClearOptionWords(Words);
  if (LoadOptions == nullptr || LoadOptionsSize == 0 || LoadOptionsSize % 2 != 0 ||
      LoadOptionsSize > LOAD_OPTIONS_MAX_BYTES) {
    return OptionsNone;
  }
  const CHAR16 *Chars = static_cast<const CHAR16 *>(LoadOptions);
  UINTN Length = 0;
  if (!MeasureText(Chars, LoadOptionsSize / 2, &Length) || Length == 0) {
    return OptionsNone;
  }
  SplitResult Split = SplitWords(Chars, Length, Words);
  // The first two words are whole even when the text ran out of room:
  // longer ones cannot be ours and make the run no command line.
  if (Words->Count > 0 && !IsOption(Words->Words[0])) {
    DropFirstWord(Words);
  }
  if (Words->Count == 0 || !IsOption(Words->Words[0])) {
    ClearOptionWords(Words);
    return OptionsNone;
  }
  if (Split.Full) {
    ReportErrorText(u"E: the command line is too long: at most 64 words and 4096 characters.\r\n");
  } else if (Split.OpenQuote) {
    ReportErrorText(u"E: the command line has a quote (\") that is not closed.\r\n");
  } else {
    return OptionsGiven;
  }
  ClearOptionWords(Words);
  return OptionsRefused;
}

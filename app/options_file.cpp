// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/options_file.h"

#include "console/output.h"

enum LineFault {
  LineGood,
  LineNotUtf8,
  LineBeyondUcs2,
  LineControl,
  LineNoOption,
  LineTooMany,
};

static BOOLEAN IsBlank(UINT8 Byte) { return Byte == ' ' || Byte == '\t'; }

static BOOLEAN IsContinuation(UINT8 Byte) { return (Byte & 0xC0) == 0x80; }

// Decodes one character of Bytes[*At, End) and moves At past it. The forms
// UTF-8 forbids (overlong, surrogates, stray continuation bytes) are not
// UTF-8; four-byte forms are beyond what UCS-2 holds.
static LineFault DecodeCharacter(const UINT8 *Bytes, UINTN *At, UINTN End, CHAR16 *Char) {
  UINT8 Lead = Bytes[*At];
  UINTN Left = End - *At;
  if (Lead < 0x80) {
    if (Lead < 0x20 || Lead == 0x7F) {
      return LineControl;
    }
    *Char = Lead;
    *At += 1;
    return LineGood;
  }
  if (Lead >= 0xC2 && Lead <= 0xDF) {
    if (Left < 2 || !IsContinuation(Bytes[*At + 1])) {
      return LineNotUtf8;
    }
    *Char = (CHAR16)(((Lead & 0x1F) << 6) | (Bytes[*At + 1] & 0x3F));
    *At += 2;
    return LineGood;
  }
  if (Lead >= 0xE0 && Lead <= 0xEF) {
    if (Left < 3 || !IsContinuation(Bytes[*At + 1]) || !IsContinuation(Bytes[*At + 2])) {
      return LineNotUtf8;
    }
    UINT8 Second = Bytes[*At + 1];
    if ((Lead == 0xE0 && Second < 0xA0) || (Lead == 0xED && Second >= 0xA0)) {
      return LineNotUtf8;
    }
    *Char = (CHAR16)(((Lead & 0x0F) << 12) | ((Second & 0x3F) << 6) | (Bytes[*At + 2] & 0x3F));
    *At += 3;
    return LineGood;
  }
  return Lead >= 0xF0 && Lead <= 0xF4 ? LineBeyondUcs2 : LineNotUtf8;
}

// Appends Bytes[Begin, End) to the word begun, then ends it.
static LineFault PutWord(const UINT8 *Bytes, UINTN Begin, UINTN End, OptionWords *Words) {
  UINTN At = Begin;
  while (At < End) {
    CHAR16 Char = 0;
    LineFault Fault = DecodeCharacter(Bytes, &At, End, &Char);
    if (Fault != LineGood) {
      return Fault;
    }
    if (!AppendToWord(Words, Char)) {
      return LineTooMany;
    }
  }
  return EndWord(Words) ? LineGood : LineTooMany;
}

static LineFault ReadLine(const UINT8 *Bytes, UINTN Begin, UINTN End, OptionWords *Words) {
  if (End > Begin && Bytes[End - 1] == '\r') {
    End--;
  }
  while (Begin < End && IsBlank(Bytes[Begin])) {
    Begin++;
  }
  while (End > Begin && IsBlank(Bytes[End - 1])) {
    End--;
  }
  if (Begin == End || Bytes[Begin] == '#') {
    return LineGood;
  }
  if (End - Begin < 2 || Bytes[Begin] != '-' || Bytes[Begin + 1] != '-') {
    return LineNoOption;
  }
  UINTN Space = Begin;
  while (Space < End && Bytes[Space] != ' ') {
    Space++;
  }
  LineFault Fault = PutWord(Bytes, Begin, Space, Words);
  if (Fault == LineGood && Space < End) {
    Fault = PutWord(Bytes, Space + 1, End, Words);
  }
  return Fault;
}

// "E: addbootentry.conf, line N: " with N in decimal, then Reason.
static void ReportLine(UINTN Line, LineFault Fault) {
  static const CHAR16 *const Reasons[] = {
      u"",
      u"not UTF-8.\r\n",
      u"a character above U+FFFF, which UCS-2 cannot hold.\r\n",
      u"a control character; one space separates an option from its value.\r\n",
      u"an option begins with --.\r\n",
      u"too many options.\r\n",
  };
  CHAR16 Message[160] = u"E: addbootentry.conf, line ";
  UINTN Length = 27;
  CHAR16 Digits[20];
  UINTN Count = 0;
  do {
    Digits[Count++] = (CHAR16)(u'0' + Line % 10);
    Line /= 10;
  } while (Line != 0 && Count < 20);
  while (Count > 0) {
    Message[Length++] = Digits[--Count];
  }
  for (const CHAR16 *Piece = u": "; *Piece != 0; Piece++) {
    Message[Length++] = *Piece;
  }
  for (const CHAR16 *Piece = Reasons[Fault]; *Piece != 0; Piece++) {
    Message[Length++] = *Piece;
  }
  Message[Length] = 0;
  ReportErrorText(Message);
}

BOOLEAN ReadOptionsText(const UINT8 *Bytes, UINTN Size, OptionWords *Words) {
  ClearOptionWords(Words);
  UINTN Begin = 0;
  if (Size >= 3 && Bytes[0] == 0xEF && Bytes[1] == 0xBB && Bytes[2] == 0xBF) {
    Begin = 3;
  }
  for (UINTN Line = 1; Begin < Size; Line++) {
    UINTN End = Begin;
    while (End < Size && Bytes[End] != '\n') {
      End++;
    }
    LineFault Fault = ReadLine(Bytes, Begin, End, Words);
    if (Fault != LineGood) {
      ClearOptionWords(Words);
      ReportLine(Line, Fault);
      return FALSE;
    }
    Begin = End + 1;
  }
  return TRUE;
}

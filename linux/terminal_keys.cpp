// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/terminal_keys.h"

#define CTRL_C 0x03
#define ESC 0x1B
#define SCAN_ESC 0x17

static UINT16 ScanOfSequence(const std::string &Params, char Final) {
  switch (Final) {
    case 'A': return 0x01;  // up
    case 'B': return 0x02;  // down
    case 'C': return 0x03;  // right
    case 'D': return 0x04;  // left
    case 'H': return 0x05;  // home
    case 'F': return 0x06;  // end
  }
  if (Final != '~') return 0;
  static const char *const Tilde[] = {"", "1", "2", "3", "4", "5", "6"};
  static const UINT16 Scans[] = {0, 0x05, 0x07, 0x08, 0x06, 0x09, 0x0A};
  for (size_t I = 1; I < sizeof Scans / sizeof Scans[0]; I++) {
    if (Params == Tilde[I]) return Scans[I];
  }
  return 0;
}

// Length of the escape sequence at Bytes[0], 0 when it is not complete yet.
static size_t EscapeSequence(const std::string &Bytes, UINT16 *Scan) {
  if (Bytes.size() < 2) return 0;
  if (Bytes[1] != '[' && Bytes[1] != 'O') {
    *Scan = SCAN_ESC;
    return 1;
  }
  for (size_t End = 2; End < Bytes.size(); End++) {
    unsigned char C = (unsigned char)Bytes[End];
    if (C >= 0x40 && C <= 0x7E) {
      *Scan = ScanOfSequence(Bytes.substr(2, End - 2), (char)C);
      return End + 1;
    }
  }
  return 0;
}

// Length of the UTF-8 character at Bytes[0], 0 when it is not complete yet.
static size_t Utf8Character(const std::string &Bytes, UINT32 *Char) {
  unsigned char Lead = (unsigned char)Bytes[0];
  size_t Length = Lead < 0x80 ? 1 : Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : Lead >= 0xC0 ? 2 : 1;
  if (Bytes.size() < Length) return 0;
  UINT32 Value = Length == 1 ? Lead : Lead & (0x7F >> Length);
  for (size_t I = 1; I < Length; I++) Value = Value << 6 | ((unsigned char)Bytes[I] & 0x3F);
  *Char = Value > 0xFFFF ? u'?' : Value;  // beyond UCS-2
  return Length;
}

DecodedKeys DecodeKeys(std::string *Bytes, BOOLEAN MoreMayCome) {
  DecodedKeys Out = {{}, FALSE};
  while (!Bytes->empty()) {
    unsigned char C = (unsigned char)(*Bytes)[0];
    UINT16 Scan = 0;
    UINT32 Char = 0;
    size_t Used;
    if (C == CTRL_C) {
      Out.Interrupted = TRUE;
      Bytes->clear();
      return Out;
    }
    if (C == ESC) {
      Used = EscapeSequence(*Bytes, &Scan);
      if (Used == 0 && !MoreMayCome) Used = 1, Scan = SCAN_ESC;  // Esc alone
    } else {
      Used = Utf8Character(*Bytes, &Char);
      if (Used == 0 && !MoreMayCome) Used = Bytes->size(), Char = u'?';
      if (Char == '\n') Char = '\r';
    }
    if (Used == 0) return Out;
    Bytes->erase(0, Used);
    if (Scan != 0 || Char != 0) Out.Keys.push_back((UINT32)Scan << 16 | Char);
  }
  return Out;
}

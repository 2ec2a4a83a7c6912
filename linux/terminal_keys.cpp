// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/terminal_keys.h"

#define CTRL_C 0x03
#define ESC 0x1B
#define REPLACEMENT_CHARACTER 0xFFFD
// No key a terminal sends is longer: a longer sequence is no key, and no
// more of it than this is kept waiting.
#define ESCAPE_MAX 16

// The bytes being decoded, read only through ByteAt, which counts the work.
struct Input {
  std::string *Bytes;
  UINTN Examined;
};

static unsigned char ByteAt(Input *In, size_t At) {
  In->Examined++;
  return (unsigned char)(*In->Bytes)[At];
}

static UINT16 ScanOfSequence(const std::string &Params, char Final) {
  switch (Final) {
    case 'A': return SCAN_UP;
    case 'B': return SCAN_DOWN;
    case 'C': return SCAN_RIGHT;
    case 'D': return SCAN_LEFT;
    case 'H': return SCAN_HOME;
    case 'F': return SCAN_END;
  }
  if (Final != '~') return SCAN_NULL;
  static const char *const Tilde[] = {"1", "2", "3", "4", "5", "6"};
  static const UINT16 Scans[] = {SCAN_HOME, SCAN_INSERT,  SCAN_DELETE,
                                 SCAN_END,  SCAN_PAGE_UP, SCAN_PAGE_DOWN};
  for (size_t I = 0; I < sizeof Scans / sizeof Scans[0]; I++) {
    if (Params == Tilde[I]) return Scans[I];
  }
  return SCAN_NULL;
}

static bool IsFinal(unsigned char C) { return C >= 0x40 && C <= 0x7E; }

static bool IsParameter(unsigned char C) { return C >= 0x20 && C <= 0x3F; }

// Length of the escape sequence at At, 0 when it is not complete yet. Its
// parameter bytes run up to the final byte; any other byte breaks it, and the
// sequence so far is dropped (*Scan left SCAN_NULL) while that byte is decoded
// as typed. A sequence too long for a key is dropped whole however the bytes
// were cut into reads.
static size_t EscapeSequence(Input *In, size_t At, UINT16 *Scan, bool MoreMayCome) {
  std::string *Bytes = In->Bytes;
  size_t Size = Bytes->size();
  if (At + 1 == Size) return 0;
  unsigned char Kind = ByteAt(In, At + 1);
  if (Kind != '[' && Kind != 'O') {
    *Scan = SCAN_ESC;
    return 1;
  }
  size_t End = At + 2;
  for (; End < Size; End++) {
    unsigned char C = ByteAt(In, End);
    if (IsFinal(C)) {
      bool Whole = End - At < ESCAPE_MAX;
      if (Whole) *Scan = ScanOfSequence(Bytes->substr(At + 2, End - At - 2), (char)C);
      return End - At + 1;
    }
    if (!IsParameter(C)) return End - At;
  }
  if (!MoreMayCome) return End - At;
  // Past the bound only its first two and last bytes wait, as many as make
  // it too long still, so that its final byte ends it as no key.
  if (End - At > ESCAPE_MAX) Bytes->erase(At + 2, End - At - ESCAPE_MAX);
  return 0;
}

// Length of the UTF-8 character at At, 0 when it is not complete yet. A
// malformed sequence (a stray or missing continuation byte, an overlong
// form, a surrogate, beyond U+10FFFF) is U+FFFD for its longest valid
// beginning, and decoding goes on from the byte that broke it.
static size_t Utf8Character(Input *In, size_t At, UINT32 *Char) {
  unsigned char Lead = ByteAt(In, At);
  if (Lead < 0x80) {
    *Char = Lead;
    return 1;
  }
  size_t Length = Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : 2;
  UINT32 Value = Lead & (0x7F >> Length);
  // The second byte's range rules out overlong forms, surrogates and
  // values beyond U+10FFFF.
  unsigned char Low = Lead == 0xE0 ? 0xA0 : Lead == 0xF0 ? 0x90 : 0x80;
  unsigned char High = Lead == 0xED ? 0x9F : Lead == 0xF4 ? 0x8F : 0xBF;
  *Char = REPLACEMENT_CHARACTER;
  if (Lead < 0xC2 || Lead > 0xF4) return 1;  // a continuation byte, or a lead no character has
  for (size_t I = 1; I < Length; I++) {
    if (At + I == In->Bytes->size()) return 0;
    unsigned char Next = ByteAt(In, At + I);
    if (Next < Low || Next > High) return I;
    Value = Value << 6 | (Next & 0x3F);
    Low = 0x80;
    High = 0xBF;
  }
  if (Value >= 0x80 && Value <= 0x9F) {
    *Char = 0;  // a C1 control is no typed text
  } else {
    *Char = Value > 0xFFFF ? u'?' : Value;  // beyond UCS-2
  }
  return Length;
}

DecodedKeys DecodeKeys(std::string *Bytes, bool MoreMayCome) {
  DecodedKeys Out = {{}, false, 0};
  Input In = {Bytes, 0};
  size_t At = 0;
  while (At < Bytes->size()) {
    unsigned char C = ByteAt(&In, At);
    UINT16 Scan = SCAN_NULL;
    UINT32 Char = 0;
    size_t Used;
    if (C == CTRL_C) {
      Out.Interrupted = true;
      At = Bytes->size();
      break;
    }
    if (C == ESC) {
      Used = EscapeSequence(&In, At, &Scan, MoreMayCome);
      if (Used == 0 && !MoreMayCome) {
        Used = 1;  // Esc alone
        Scan = SCAN_ESC;
      }
    } else {
      Used = Utf8Character(&In, At, &Char);
      if (Used == 0 && !MoreMayCome) {
        Used = Bytes->size() - At;  // a character cut short by the end of input
        Char = REPLACEMENT_CHARACTER;
      }
      if (Char == '\n') Char = '\r';
    }
    if (Used == 0) break;
    At += Used;
    if (Scan != SCAN_NULL || Char != 0) Out.Keys.push_back((UINT32)Scan << 16 | Char);
  }
  Bytes->erase(0, At);
  Out.Examined = In.Examined;
  return Out;
}

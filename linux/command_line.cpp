// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/command_line.h"

#include <cstdio>
#include <cstring>

#include "linux/utf8.h"

bool TakesValue(const std::u16string &Word) {
  static const char16_t *const Valued[] = {u"--loader",      u"--volume",  u"--label",
                                           u"--boot-volume", u"--boot-fs", u"--root",
                                           u"--bvsrd-as",    u"--then"};
  for (const char16_t *Name : Valued) {
    if (Word == Name) return true;
  }
  return false;
}

// The character at Bytes[*At] (advancing *At), or -1 for a byte that does not
// begin a well-formed sequence: a stray continuation, a cut or overlong
// sequence, a surrogate, or a value past U+10FFFF.
static long NextCharacter(const unsigned char *Bytes, size_t Size, size_t *At) {
  unsigned char Lead = Bytes[*At];
  size_t Count = Lead < 0x80                    ? 0
                 : Lead >= 0xC2 && Lead <= 0xDF ? 1
                 : Lead >= 0xE0 && Lead <= 0xEF ? 2
                 : Lead >= 0xF0 && Lead <= 0xF4 ? 3
                                                : (size_t)-1;
  if (Count == (size_t)-1 || Size - *At <= Count) return -1;
  long Code = Count == 0 ? Lead : Lead & (0x3F >> Count);
  for (size_t I = 1; I <= Count; I++) {
    if ((Bytes[*At + I] & 0xC0) != 0x80) return -1;
    Code = Code << 6 | (Bytes[*At + I] & 0x3F);
  }
  static const long Least[] = {0, 0x80, 0x800, 0x10000};
  if (Code < Least[Count] || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF)) return -1;
  *At += Count + 1;
  return Code;
}

// Empty when Text is UTF-8 within UCS-2, and Wide holds it; else why not.
static std::string Decode(const char *Text, std::u16string *Wide) {
  const unsigned char *Bytes = reinterpret_cast<const unsigned char *>(Text);
  size_t Size = std::strlen(Text);
  for (size_t At = 0; At < Size;) {
    size_t Start = At;
    long Code = NextCharacter(Bytes, Size, &At);
    char Why[96];
    if (Code < 0) {
      std::snprintf(Why, sizeof Why, "byte %zu (0x%02X) is not UTF-8", Start + 1, Bytes[Start]);
      return Why;
    }
    if (Code > 0xFFFF) {
      std::snprintf(Why, sizeof Why,
                    "U+%lX is beyond the firmware's 16-bit characters (UCS-2, up to U+FFFF)", Code);
      return Why;
    }
    Wide->push_back((char16_t)Code);
  }
  return "";
}

std::u16string Utf16Of(const std::string &Text) {
  const unsigned char *Bytes = reinterpret_cast<const unsigned char *>(Text.data());
  std::u16string Wide;
  for (size_t At = 0; At < Text.size();) {
    long Code = NextCharacter(Bytes, Text.size(), &At);
    if (Code < 0) At++;
    Wide.push_back(Code < 0 || Code > 0xFFFF ? u'\uFFFD' : (char16_t)Code);
  }
  return Wide;
}

std::string ReadCommandLine(int Count, const char *const *Arguments, CommandLine *Line) {
  Line->Words.clear();
  Line->Json = false;
  bool IsValue = false;  // the word after an option that takes one, whatever it reads
  for (int I = 1; I < Count; I++) {
    std::u16string Word;
    std::string Why = Decode(Arguments[I], &Word);
    if (!Why.empty()) {
      // Named by its option when a value; an unreadable word is not repeated.
      if (IsValue) return std::string(Arguments[I - 1]) + ": its value: " + Why;
      return "argument " + std::to_string(I) + ": " + Why;
    }
    if (!IsValue && Word == u"--json") {
      if (Line->Json) return "--json: given twice";
      Line->Json = true;
      continue;
    }
    Line->Words.push_back(Word);
    IsValue = !IsValue && TakesValue(Word);
  }
  return "";
}

std::string Utf8Of(const std::u16string &Word) {
  std::string Bytes;
  for (char16_t C : Word) AppendUtf8(&Bytes, C);
  return Bytes;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/utf8.h"

void AppendUtf8(std::string *Out, CHAR16 C) {
  if (C < 0x80) {
    Out->push_back((char)C);
  } else if (C < 0x800) {
    Out->push_back((char)(0xC0 | (C >> 6)));
    Out->push_back((char)(0x80 | (C & 0x3F)));
  } else {
    Out->push_back((char)(0xE0 | (C >> 12)));
    Out->push_back((char)(0x80 | ((C >> 6) & 0x3F)));
    Out->push_back((char)(0x80 | (C & 0x3F)));
  }
}

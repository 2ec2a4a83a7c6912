// SPDX-License-Identifier: BSD-2-Clause-Patent
// The terminal's bytes as keys: what EDK2's terminal driver makes of them.
#pragma once
#include <string>

#include "efi.h"

// Bytes from the terminal into keys as EDK2's terminal driver makes them:
// escape sequences into scan codes, UTF-8 into characters, LF into Enter.
// Consumes what it decodes and leaves an incomplete sequence in Bytes;
// Interrupted is set at Ctrl-C, and no key after it is decoded.
// Malformed UTF-8 becomes U+FFFD; C1 controls are dropped. Linear: each
// byte is looked at a few times at most (Examined counts them).
struct DecodedKeys {
  std::basic_string<UINT32> Keys;  // ScanCode << 16 | UnicodeChar
  bool Interrupted;
  UINTN Examined;  // the bytes looked at, counted each time
};
DecodedKeys DecodeKeys(std::string *Bytes, bool MoreMayCome);

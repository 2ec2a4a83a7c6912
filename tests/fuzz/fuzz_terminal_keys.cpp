// SPDX-License-Identifier: BSD-2-Clause-Patent
// The terminal's bytes into keys. The input comes in pieces, as reads from
// the terminal do (each piece's first byte gives its length), then ends;
// the keys must be the ones the same bytes give in one read.
#include <cstdlib>
#include <string>

#include "linux/terminal_keys.h"

static void Check(bool Holds) {
  if (!Holds) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const UINT8 *Data, size_t Size) {
  std::string Pending;
  std::string Whole;
  DecodedKeys Pieces = {{}, FALSE, 0};
  size_t At = 0;
  while (At < Size && !Pieces.Interrupted) {
    size_t Length = Data[At++] % 16;
    if (Length > Size - At) Length = Size - At;
    Pending.append(reinterpret_cast<const char *>(Data + At), Length);
    Whole.append(reinterpret_cast<const char *>(Data + At), Length);
    At += Length;
    DecodedKeys Read = DecodeKeys(&Pending, TRUE);
    Pieces.Keys += Read.Keys;
    Pieces.Interrupted = Read.Interrupted;
  }
  if (!Pieces.Interrupted) {
    DecodedKeys Last = DecodeKeys(&Pending, FALSE);
    Pieces.Keys += Last.Keys;
    Pieces.Interrupted = Last.Interrupted;
  }
  // Nothing stays pending once the input has ended (or Ctrl-C came).
  Check(Pending.empty());
  DecodedKeys Once = DecodeKeys(&Whole, FALSE);
  Check(Whole.empty());
  Check(Once.Interrupted == Pieces.Interrupted && Once.Keys == Pieces.Keys);
  for (UINT32 Key : Once.Keys) Check((Key >> 16) <= 0x17 && Key != 0);
  return 0;
}

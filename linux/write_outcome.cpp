// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/write_outcome.h"

#include <cstdio>
#include <cstring>

#include "linux/ending.h"

static bool IsGlobal(const EFI_GUID &Vendor) {
  return std::memcmp(&Vendor, &EFI_GLOBAL_VARIABLE_GUID, sizeof Vendor) == 0;
}

static bool HexDigit(CHAR16 C, UINT16 *Value) {
  if (C >= u'0' && C <= u'9') {
    *Value = (UINT16)(C - u'0');
    return true;
  }
  if (C >= u'A' && C <= u'F') {
    *Value = (UINT16)(C - u'A' + 10);
    return true;
  }
  return false;
}

// Boot#### with four capital hexadecimal digits, as the application names it.
static bool BootOptionNumber(const CHAR16 *Name, UINT16 *Number) {
  static const CHAR16 Prefix[] = u"Boot";
  for (int I = 0; I < 4; I++) {
    if (Name[I] != Prefix[I]) return false;
  }
  *Number = 0;
  for (int I = 4; I < 8; I++) {
    UINT16 Digit;
    if (!HexDigit(Name[I], &Digit)) return false;
    *Number = (UINT16)(*Number << 4 | Digit);
  }
  return Name[8] == 0;
}

static bool SameName(const CHAR16 *A, const CHAR16 *B) {
  for (; *A != 0 && *A == *B; A++) B++;
  return *A == *B;
}

static bool Holds(const VOID *Order, UINTN Size, UINT16 Number) {
  const UINT8 *Bytes = static_cast<const UINT8 *>(Order);
  for (UINTN At = 0; At + 1 < Size; At += 2) {
    if ((Bytes[At] | Bytes[At + 1] << 8) == Number) return true;
  }
  return false;
}

void NoteVariableWrite(WriteOutcome *Outcome, const CHAR16 *Name, const EFI_GUID &Vendor,
                       UINTN DataSize, const VOID *Data, EFI_STATUS Status) {
  if (Status != EFI_SUCCESS) return;
  Outcome->Wrote = true;
  if (!IsGlobal(Vendor)) return;
  UINT16 Number;
  if (BootOptionNumber(Name, &Number) && DataSize > 0) {
    Outcome->Created = true;
    Outcome->Option = Number;
    Outcome->Listed = false;
  } else if (Outcome->Created && SameName(Name, u"BootOrder")) {
    Outcome->Listed = Holds(Data, DataSize, Outcome->Option);
  }
}

int ExitStatusOf(const WriteOutcome &Outcome) {
  return Outcome.Created && Outcome.Listed ? EXIT_WRITTEN : EXIT_NOT_WRITTEN;
}

std::string OutcomeNote(const WriteOutcome &Outcome) {
  if (!Outcome.Created || Outcome.Listed) return "";
  char Note[64];
  std::snprintf(Note, sizeof Note, "Boot%04X was written but is not in BootOrder", Outcome.Option);
  return Note;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// What the dialogue's variable writes came to, as the firmware sees them: the
// application leaves with EFI_SUCCESS whatever happened, and knows nothing of
// the program around it, so the exit status is read off the writes.
#pragma once
#include <string>

#include "efi.h"

struct WriteOutcome {
  bool Wrote;     // some variable has changed
  bool Created;   // a Boot#### option was stored
  UINT16 Option;  // its number
  bool Listed;    // and a later BootOrder write that holds it succeeded
};

// One SetVariable of Name and Vendor with DataSize bytes at Data, answered
// with Status.
void NoteVariableWrite(WriteOutcome *Outcome, const CHAR16 *Name, const EFI_GUID &Vendor,
                       UINTN DataSize, const VOID *Data, EFI_STATUS Status);

// EXIT_WRITTEN when the entry is stored and listed, EXIT_NOT_WRITTEN otherwise.
int ExitStatusOf(const WriteOutcome &Outcome);

// What the user must know that the dialogue did not say: an option stored
// but left out of BootOrder. "" when there is nothing to add.
std::string OutcomeNote(const WriteOutcome &Outcome);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The warning about an entry already on the machine that starts the same thing.
#pragma once
#include "common/dialog_state.h"

// One light-red line naming the first Boot#### that BootOrder lists (in the
// sorted copy's order) with the same device paths and optional data as the
// new record; nothing when there is none. Never stops the dialogue; writes
// nothing.
void WarnOfDuplicateEntry(const DialogState *State);

// The entry an unattended run finds already there: its number and its
// record, a pool buffer that the caller then holds (NULL: none found).
struct ListedDuplicate {
  UINT16 Number;
  UINT8 *Option;
  UINTN Size;
};
// The same warning; the duplicate's record is kept in *Found.
void FindDuplicateEntry(const DialogState *State, ListedDuplicate *Found);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// BootOrder as read before the confirmation: the sorted copy and the new
// option's number.
#pragma once
#include "common/dialog_state.h"

// Reads BootOrder, settles OptionNumber and the attributes of the later
// BootOrder write. Writes no variable.
BOOLEAN ChooseOptionNumber(DialogState *State);
// Ascending, as unsigned 16-bit numbers, in place.
void SortOptionNumbers(UINT16 *Entries, UINTN Count);

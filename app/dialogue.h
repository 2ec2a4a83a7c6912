// SPDX-License-Identifier: BSD-2-Clause-Patent
// The dialogue: its steps in their fixed order, and the one way every run ends.
#pragma once
#include "common/dialog_state.h"

// A step either succeeds, or prints its own report and returns FALSE; the run
// then goes straight to the common clean-up. No step returns to an earlier one.
typedef BOOLEAN (*DialogStep)(DialogState *State);

// Every step in its order, until one fails or the last has succeeded.
void RunDialogue(DialogState *State);
// The same from First, a step of the dialogue, on: State must hold what the
// steps before it would have filled.
void RunDialogueFrom(DialogState *State, DialogStep First);

// Frees every pool buffer the dialogue holds, asks for the closing key, and
// leaves through ResetSystem or Exit; an unattended run ends without the
// question (app/unattended.h). Does not return on real firmware.
void FinishRun(DialogState *State);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The one clean-up of a run's pool buffers, whichever way the run ends.
#pragma once
#include "common/dialog_state.h"

// Frees every pool buffer State holds and drops answers not read.
void FreeHeldBuffers(DialogState *State);

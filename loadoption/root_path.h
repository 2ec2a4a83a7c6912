// SPDX-License-Identifier: BSD-2-Clause-Patent
// Dialogue step 5, taken only with a Boot Volume: the system root path and
// the Boot Volume's full and short-form device paths to it.
#pragma once
#include "common/dialog_state.h"

// Succeeds at once, asking nothing, when no Boot Volume was chosen.
BOOLEAN BuildRootPath(DialogState *State);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Dialogue step 3: the description that the boot manager shows for the entry.
#pragma once
#include "common/dialog_state.h"

BOOLEAN AskDescription(DialogState *State);

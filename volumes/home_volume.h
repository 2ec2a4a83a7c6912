// SPDX-License-Identifier: BSD-2-Clause-Patent
// Dialogue step 1: list the file-system volumes and choose the Home Volume,
// the one that holds the boot loader.
#pragma once
#include "common/dialog_state.h"

BOOLEAN ChooseHomeVolume(DialogState *State);

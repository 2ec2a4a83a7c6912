// SPDX-License-Identifier: BSD-2-Clause-Patent
// Dialogue step 4: the loader file path, its presence on the Home Volume, and
// the Home Volume's full and short-form device paths to the loader.
#pragma once
#include "common/dialog_state.h"

BOOLEAN BuildLoaderPath(DialogState *State);

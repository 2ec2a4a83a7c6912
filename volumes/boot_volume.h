// SPDX-License-Identifier: BSD-2-Clause-Patent
// Dialogue step 2: whether the load option carries a Boot Volume System Root
// Descriptor (BVSRD), where it is stored, and which volume is the Boot Volume
// (OS home) with its file-system type code.
#pragma once
#include "common/dialog_state.h"

BOOLEAN ChooseBootVolume(DialogState *State);

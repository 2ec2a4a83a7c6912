// SPDX-License-Identifier: BSD-2-Clause-Patent
// The one step that changes the firmware's state.
#pragma once
#include "common/dialog_state.h"

// Names Boot####, asks for the one-key confirmation, writes Boot#### and then
// adds its number to BootOrder.
BOOLEAN ConfirmAndWrite(DialogState *State);

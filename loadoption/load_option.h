// SPDX-License-Identifier: BSD-2-Clause-Patent
// Dialogue step 6: the EFI_LOAD_OPTION record that becomes the data of the
// new Boot#### variable, with the BVSRD when a Boot Volume was chosen.
#pragma once
#include "common/dialog_state.h"

// Attributes (UINT32) and FilePathListLength (UINT16) precede the description.
#define LOAD_OPTION_HEADER_BYTES 6

BOOLEAN BuildLoadOption(DialogState *State);

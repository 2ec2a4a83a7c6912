// SPDX-License-Identifier: BSD-2-Clause-Patent
// An unattended run's last step and its end.
#pragma once
#include "common/dialog_state.h"

// In place of the dialogue's confirmation and write: nothing written when
// BootOrder lists an entry with the same paths and data, only the record
// shown for --dry-run, else the confirmation (answered by --yes) and the
// write; then BootNext for --boot-next. Sets State->Result when all is done.
BOOLEAN SettleUnattended(DialogState *State);

// The end of an unattended (or refused) run: the closing line, no prompt,
// then Exit with the run's status and the outcome as ExitData, or the reset
// --then asks for when the entry exists. Does not return on real firmware.
void FinishUnattendedRun(DialogState *State);

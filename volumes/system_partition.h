// Before the confirmation: a warning when no listed volume is an EFI System
// Partition. Firmware that keeps its variables in a file on the ESP (U-Boot)
// accepts the write without one and forgets the entry at the next start.
#pragma once
#include "app/dialog_state.h"

// Never stops the dialogue; writes nothing.
BOOLEAN WarnWithoutSystemPartition(DialogState *State);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Before the confirmation: a warning when no listed volume is an EFI System
// Partition. Firmware that keeps its variables in a file on the ESP (U-Boot)
// accepts the write without one and forgets the entry at the next start.
#pragma once
#include "common/dialog_state.h"

// Prints the warning when no listed volume carries the ESP mark; writes nothing.
void WarnWithoutSystemPartition(const DialogState *State);

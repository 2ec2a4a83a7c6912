// SPDX-License-Identifier: BSD-2-Clause-Patent
// The list of partitions that a Boot Volume which is not FAT can be chosen
// from: block devices with a hard-drive node that the firmware does not read.
#pragma once
#include "common/dialog_state.h"

// Lists BlockIoHandles by their true positions and returns how many
// partitions qualified, those whose text could not be made included.
UINTN ListPartitions(const DialogState *State);

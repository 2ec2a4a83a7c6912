// SPDX-License-Identifier: BSD-2-Clause-Patent
// The volume questions' answers in an unattended run: the options' selectors
// turned into the numbers the listings show, handed to the questions as keys
// (console/keyboard.h), so that the dialogue reads and echoes them as typed.
// Each prints one refusal line and returns FALSE when the options name no
// volume the question could take.
#pragma once
#include "common/dialog_state.h"

// After the volume listing: --volume's volume, or, without it, the one volume
// that holds --loader.
BOOLEAN AnswerHomeVolume(const DialogState *State);
// Before the BVSRD questions: their yes/no answers, and the number of a FAT
// Boot Volume, which the volume listing shows.
BOOLEAN AnswerBootVolume(const DialogState *State);
// After the partition listing: the partition's number and --boot-fs.
BOOLEAN AnswerPartition(const DialogState *State);

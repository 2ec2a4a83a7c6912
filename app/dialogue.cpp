// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/dialogue.h"

#include "app/unattended.h"
#include "bootvars/boot_order.h"
#include "bootvars/duplicate_entry.h"
#include "bootvars/write_option.h"
#include "loadoption/description.h"
#include "loadoption/load_option.h"
#include "loadoption/loader_path.h"
#include "loadoption/root_path.h"
#include "volumes/boot_volume.h"
#include "volumes/home_volume.h"
#include "volumes/system_partition.h"

// The last step opens with what the user should weigh before the one key
// that writes; a warning never stops the dialogue.
static BOOLEAN WarnThenConfirmAndWrite(DialogState *State) {
  WarnWithoutSystemPartition(State);
  if (State->Options != nullptr) {
    return SettleUnattended(State);
  }
  WarnOfDuplicateEntry(State);
  return ConfirmAndWrite(State);
}

static const DialogStep Steps[] = {
    ChooseHomeVolume, ChooseBootVolume, AskDescription,     BuildLoaderPath,
    BuildRootPath,    BuildLoadOption,  ChooseOptionNumber, WarnThenConfirmAndWrite,
};

void RunDialogueFrom(DialogState *State, DialogStep First) {
  BOOLEAN Reached = FALSE;
  for (DialogStep Step : Steps) {
    Reached = Reached || Step == First;
    if (Reached && !Step(State)) {
      return;
    }
  }
}

void RunDialogue(DialogState *State) { RunDialogueFrom(State, Steps[0]); }

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/held_buffers.h"

#include "common/pool.h"
#include "console/keyboard.h"

void FreeHeldBuffers(DialogState *State) {
  VOID **Held[] = {(VOID **)&State->SfsHandles,
                   (VOID **)&State->BlockIoHandles,
                   (VOID **)&State->HomePath.Full,
                   (VOID **)&State->BootPath.Full,
                   (VOID **)&State->LoadOption,
                   (VOID **)&State->BootOrder,
                   &State->OptionWords};
  for (VOID **Buffer : Held) {
    FreePoolToNull(Buffer);
  }
  DropAnswers();
}

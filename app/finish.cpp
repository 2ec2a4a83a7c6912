// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/dialogue.h"
#include "app/held_buffers.h"
#include "app/unattended.h"
#include "common/firmware_context.h"
#include "console/colours.h"
#include "console/keyboard.h"
#include "console/output.h"
#include "console/screen.h"

void FinishRun(DialogState *State) {
  if (State->Options != nullptr) {
    FinishUnattendedRun(State);
    return;
  }
  FreeHeldBuffers(State);

  SetRole(ATTR_NORMAL);
  // A key typed ahead (an 's' meant for a question that a failure skipped)
  // must not power the machine off: only a key pressed after the prompt counts.
  DiscardWaitingKeys();
  Print(u"Press <s> to shutdown or anything else (exc. <Enter>) to exit this app.\r\n");
  RestoreSavedAttribute();
  RestoreCursorVisibility();

  if (WaitForKeyChar() == u's') {
    gFirmware.RuntimeServices->ResetSystem(EfiResetShutdown, EFI_SUCCESS, 0, nullptr);
  }
  gFirmware.BootServices->Exit(gFirmware.ImageHandle, EFI_SUCCESS, 0, nullptr);
}

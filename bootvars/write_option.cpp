// SPDX-License-Identifier: BSD-2-Clause-Patent
// Step 8, the only one that changes the firmware's state. Boot#### is written
// first and BootOrder only after it, so BootOrder never lists a number whose
// option this run did not store.
#include "bootvars/write_option.h"

#include "bootvars/option_number.h"
#include "common/firmware_context.h"
#include "console/colours.h"
#include "console/keyboard.h"
#include "console/output.h"
#include "console/questions.h"

static BOOLEAN AskConfirmationDroppingTypedAhead() {
  SetRole(ATTR_HIGHLIGHT);
  // Keys typed ahead (the rest of a line that filled up and ended by itself)
  // must not answer a question the user has not seen: drop them before it
  // appears, never after, so a key pressed the moment it shows still counts.
  DiscardWaitingKeys();
  Print(u"Are you sure you want to write the created Load Option\r\n"
        u"into UEFI persistent storage?\r\nType \"y\" for \"yes\"\r\n");
  SetRole(ATTR_NORMAL);
  return IsYes(WaitForKeyChar());
}

BOOLEAN ConfirmAndWrite(DialogState *State) {
  FormatOptionName(State->OptionNumber, State->VariableName);
  PrintHighlightedText(u"Trying to set \"", State->VariableName,
                       u"\" UEFI Load Option variable...\r\n");
  if (!AskConfirmationDroppingTypedAhead()) {
    ReportErrorText(u"You have aborted Load Option creation.\r\n"
                    u"Nothing has been changed in the UEFI environment.\r\n");
    return FALSE;
  }
  // The answer may have taken any time, long enough for another agent to
  // write an option of this number: it is looked for once more.
  if (!NumberIsFreeOrReport(
          ProbeOption(State->OptionNumber),
          u"E: our Boot#### variable appeared meanwhile, nothing has been written.\r\n")) {
    return FALSE;
  }

  EFI_STATUS Status = gFirmware.RuntimeServices->SetVariable(
      State->VariableName, &EFI_GLOBAL_VARIABLE_GUID, BOOT_VARIABLE_ATTRIBUTES,
      State->LoadOptionSize, State->LoadOption);
  if (Status != EFI_SUCCESS) {
    ReportError(u"E: SetVariable failed on setting our Boot#### variable, S: ", Status);
    return FALSE;
  }
  // Without the append flag (BootOrder did not exist) this creates BootOrder.
  // Should it fail, Boot#### stays: an unlisted option harms nothing, and the
  // next run will not write over it.
  Status = gFirmware.RuntimeServices->SetVariable(u"BootOrder", &EFI_GLOBAL_VARIABLE_GUID,
                                                  State->BootOrderAttributes,
                                                  sizeof State->OptionNumber, &State->OptionNumber);
  if (Status != EFI_SUCCESS) {
    ReportError(u"E: SetVariable failed on appending our variable to BootOrder, S: ", Status);
    return FALSE;
  }

  SetRole(ATTR_HIGHLIGHT);
  Print(u"Load Option is created, saved in the FW NV storage and added to \"BootOrder\". :)\r\n");
  return TRUE;
}

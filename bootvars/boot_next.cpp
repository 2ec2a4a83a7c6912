// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "bootvars/boot_next.h"

#include "bootvars/option_number.h"
#include "common/dialog_state.h"
#include "common/firmware_context.h"
#include "console/output.h"

BOOLEAN SetBootNext(UINT16 Number) {
  EFI_STATUS Status = gFirmware.RuntimeServices->SetVariable(
      u"BootNext", &EFI_GLOBAL_VARIABLE_GUID, BOOT_VARIABLE_ATTRIBUTES, sizeof Number, &Number);
  if (Status != EFI_SUCCESS) {
    ReportError(u"E: SetVariable failed on setting BootNext, S: ", Status);
    return FALSE;
  }
  CHAR16 Name[OPTION_NAME_LENGTH];
  FormatOptionName(Number, Name);
  PrintHighlightedText(u"BootNext set: ", Name, u" starts once at the next boot.\r\n");
  return TRUE;
}

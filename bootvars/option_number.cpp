// SPDX-License-Identifier: BSD-2-Clause-Patent
// The new option's number. Writing Boot#### over an existing entry can leave a
// machine that no longer boots, so a number is free only when BootOrder does
// not list it and no Boot#### variable of that number exists, listed or not.
#include "bootvars/option_number.h"

#include "common/dialog_state.h"
#include "common/firmware_context.h"
#include "console/hex_digits.h"
#include "console/output.h"

#define LAST_OPTION_NUMBER 0xFFFFU

void FormatOptionName(UINT16 Number, CHAR16 *Name) {
  Name[0] = u'B';
  Name[1] = u'o';
  Name[2] = u'o';
  Name[3] = u't';
  WriteHexDigits(Number, Name + 4, 2);
  Name[8] = 0;
}

// With no room for data an existing variable answers EFI_BUFFER_TOO_SMALL,
// an absent one EFI_NOT_FOUND.
EFI_STATUS ProbeOption(UINT16 Number) {
  CHAR16 Name[OPTION_NAME_LENGTH];
  FormatOptionName(Number, Name);
  UINT32 Attributes;
  UINTN DataSize = 0;
  UINT8 NoRoom;  // a real address, so that no firmware can call it an invalid parameter
  return gFirmware.RuntimeServices->GetVariable(Name, &EFI_GLOBAL_VARIABLE_GUID, &Attributes,
                                                &DataSize, &NoRoom);
}

BOOLEAN NumberIsFreeOrReport(EFI_STATUS Status, const CHAR16 *TakenReport) {
  if (Status == EFI_NOT_FOUND) {
    return TRUE;
  }
  if (Status == EFI_BUFFER_TOO_SMALL) {
    ReportErrorText(TakenReport);
  } else {
    ReportError(u"E: fail on checking for an existing Boot#### variable, S: ", Status);
  }
  return FALSE;
}

EFI_STATUS FindFreeOptionNumber(const UINT16 *Sorted, UINTN Count, UINT16 *Number) {
  UINTN Next = 0;  // first sorted entry not below the candidate
  // A 32-bit candidate: after FFFF the search ends instead of wrapping to 0.
  for (UINT32 Candidate = 0; Candidate <= LAST_OPTION_NUMBER; Candidate++) {
    // Passing every entry below the candidate also passes over repeats.
    while (Next < Count && Sorted[Next] < Candidate) {
      Next++;
    }
    if (Next < Count && Sorted[Next] == Candidate) {
      continue;
    }
    EFI_STATUS Status = ProbeOption((UINT16)Candidate);
    if (Status == EFI_NOT_FOUND) {
      *Number = (UINT16)Candidate;
    }
    if (Status != EFI_BUFFER_TOO_SMALL) {
      return Status;
    }
  }
  return EFI_BUFFER_TOO_SMALL;  // taken, listed or not
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/unattended.h"

#include "bootvars/boot_next.h"
#include "bootvars/duplicate_entry.h"
#include "bootvars/option_number.h"
#include "bootvars/write_option.h"
#include "common/pool.h"
#include "common/run_outcome.h"
#include "console/colours.h"
#include "console/hex_digits.h"
#include "console/keyboard.h"
#include "console/output.h"

#define DUMP_BYTES_PER_LINE 16

// The entry found stands for the one not written: its record replaces ours,
// which was never stored, so what the run reports is what boots.
static void KeepFound(DialogState *State, ListedDuplicate *Found) {
  FreePoolToNull((VOID **)&State->LoadOption);
  State->LoadOption = Found->Option;
  State->LoadOptionSize = Found->Size;
  State->OptionNumber = Found->Number;
  FormatOptionName(Found->Number, State->VariableName);
  Found->Option = nullptr;
}

static void ShowDryRun(DialogState *State) {
  FormatOptionName(State->OptionNumber, State->VariableName);
  PrintHighlightedText(u"Dry run: \"", State->VariableName,
                       u"\" would hold these bytes and be added to \"BootOrder\":\r\n");
  for (UINTN At = 0; At < State->LoadOptionSize; At++) {
    CHAR16 Digits[4] = {0, 0, u' ', 0};
    WriteHexDigits(State->LoadOption[At], Digits, 1);
    BOOLEAN LineEnds = (At + 1) % DUMP_BYTES_PER_LINE == 0 || At + 1 == State->LoadOptionSize;
    if (LineEnds) {
      Digits[2] = 0;
    }
    Print(Digits);
    if (LineEnds) {
      Print(u"\r\n");
    }
  }
}

static BOOLEAN SetBootNextIfAsked(DialogState *State, UINT8 Result) {
  if (State->Options->BootNext) {
    if (!SetBootNext(State->OptionNumber)) {
      return FALSE;
    }
    State->BootNextSet = TRUE;
  }
  State->Result = Result;
  return TRUE;
}

BOOLEAN SettleUnattended(DialogState *State) {
  ListedDuplicate Found;
  FindDuplicateEntry(State, &Found);
  if (Found.Option != nullptr) {
    KeepFound(State, &Found);
    return SetBootNextIfAsked(State, RUN_RESULT_UNCHANGED);
  }
  if (State->Options->DryRun) {
    ShowDryRun(State);
    State->Result = RUN_RESULT_DRY_RUN;
    return TRUE;
  }
  if (State->Options->Yes) {
    AnswerWith(u"y");  // the confirmation reads it as the key a user would press
  }
  NoteFailure(EFI_SUCCESS);
  if (!ConfirmAndWrite(State)) {
    if (NotedFailure() == EFI_SUCCESS) {
      NoteFailure(EFI_ABORTED);  // declined, or the number was taken meanwhile
    }
    return FALSE;
  }
  return SetBootNextIfAsked(State, RUN_RESULT_CREATED);
}

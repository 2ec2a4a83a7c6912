// SPDX-License-Identifier: BSD-2-Clause-Patent
// Before the confirmation: whether an entry that the firmware already starts
// is the one about to be written. Its description and attributes do not
// count; the boot manager starts what the device paths name and hands the
// optional data to it, so two entries alike in those start the same thing.
#include "bootvars/duplicate_entry.h"

#include "bootvars/option_number.h"
#include "bootvars/variable_read.h"
#include "common/pool.h"
#include "console/colours.h"
#include "console/output.h"
#include "loadoption/load_option_reader.h"

// Most entries fit at once; a longer one is read again at its own size.
#define OPTION_FIRST_CAPACITY 512

// TRUE after the warning, when Boot#### of Number holds the same paths and
// data; its record then stays in *Kept when Kept is not NULL. An entry that
// cannot be read, or is no well-formed load option, is no duplicate: it is
// passed over without a report.
static BOOLEAN WarnIfSameEntry(UINT16 Number, const LoadOptionParts *New, ListedDuplicate *Kept) {
  CHAR16 Name[OPTION_NAME_LENGTH];
  FormatOptionName(Number, Name);
  UINT8 *Option = nullptr;
  UINTN Size = 0;
  UINT32 Attributes = 0;
  BOOLEAN Exists = FALSE;
  LoadOptionParts Listed;
  BOOLEAN Same = ReadVariableToPoolQuietly(Name, OPTION_FIRST_CAPACITY, (VOID **)&Option, &Size,
                                           &Attributes, &Exists) &&
                 Exists && SplitLoadOption(Option, Size, &Listed) && SamePathsAndData(&Listed, New);
  if (Same) {
    SetRole(ATTR_ERROR);
    Print(u"Warning: ");
    Print(Name);
    Print(u" \"");
    PrintForeignText(Listed.Description);
    Print(u"\" already has the same paths and data.\r\n");
    SetRole(ATTR_NORMAL);
  }
  if (Same && Kept != nullptr) {
    *Kept = {Number, Option, Size};
    return Same;
  }
  FreePoolToNull((VOID **)&Option);
  return Same;
}

void FindDuplicateEntry(const DialogState *State, ListedDuplicate *Found) {
  if (Found != nullptr) {
    *Found = {};
  }
  LoadOptionParts New;
  if (!SplitLoadOption(State->LoadOption, State->LoadOptionSize, &New)) {
    return;
  }
  UINTN Count = State->BootOrderSize / sizeof(UINT16);
  for (UINTN I = 0; I < Count; I++) {
    if (WarnIfSameEntry(State->BootOrder[I], &New, Found)) {
      return;  // one line is warning enough
    }
  }
}

void WarnOfDuplicateEntry(const DialogState *State) { FindDuplicateEntry(State, nullptr); }

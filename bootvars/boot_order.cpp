// SPDX-License-Identifier: BSD-2-Clause-Patent
// Step 7: BootOrder is read into a buffer that is regrown until the variable
// fits, the copy is sorted, and the new option's number and the attributes of
// the later BootOrder write are settled.
#include "bootvars/boot_order.h"

#include "bootvars/option_number.h"
#include "bootvars/variable_read.h"
#include "console/output.h"

#define BOOT_ORDER_FIRST_CAPACITY 128

static const VariableReadReports BootOrderReports = {
    u"E: fail on allocating BootOrder array, S: ",
    u"E: fail on getting BootOrder variable, S: ",
};

void SortOptionNumbers(UINT16 *Entries, UINTN Count) {
  for (UINTN I = 1; I < Count; I++) {
    UINT16 Key = Entries[I];
    UINTN J = I;
    while (J > 0 && Entries[J - 1] > Key) {
      Entries[J] = Entries[J - 1];
      J--;
    }
    Entries[J] = Key;
  }
}

BOOLEAN ChooseOptionNumber(DialogState *State) {
  BOOLEAN Exists;
  if (!ReadVariableToPool(u"BootOrder", BOOT_ORDER_FIRST_CAPACITY, (VOID **)&State->BootOrder,
                          &State->BootOrderSize, &State->BootOrderAttributes, &Exists,
                          &BootOrderReports)) {
    return FALSE;
  }
  UINTN Count = 0;
  if (Exists) {
    Count = State->BootOrderSize / sizeof(UINT16);  // an odd last byte is no entry
    SortOptionNumbers(State->BootOrder, Count);
    // The new number goes after the existing entries, which keep their order.
    State->BootOrderAttributes |= EFI_VARIABLE_APPEND_WRITE;
  } else {
    Print(u"Need to create BootOrder.\r\n");
    State->BootOrderSize = 0;  // lists nothing; the buffer's bytes are no entries
    // No append flag: appending to a variable that does not exist fails on
    // some firmware, a plain write creates it holding just the new number.
    State->BootOrderAttributes = BOOT_VARIABLE_ATTRIBUTES;
  }
  EFI_STATUS Status = FindFreeOptionNumber(State->BootOrder, Count, &State->OptionNumber);
  return NumberIsFreeOrReport(Status,
                              u"E: no free option number, Boot0000 to BootFFFF are all taken.\r\n");
}

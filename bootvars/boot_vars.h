// Boot variables: reading BootOrder, choosing the new option's number, and
// writing Boot#### and BootOrder once the user has confirmed.
#pragma once
#include "app/dialog_state.h"

// Non-volatile, boot-service and runtime access: what a new Boot#### and a
// newly created BootOrder carry.
#define BOOT_VARIABLE_ATTRIBUTES \
  (EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS)

// Reads BootOrder, settles OptionNumber and the attributes of the later
// BootOrder write. Writes no variable.
BOOLEAN ChooseOptionNumber(DialogState *State);
// Names Boot####, asks for the one-key confirmation, writes Boot#### and then
// adds its number to BootOrder.
BOOLEAN ConfirmAndWrite(DialogState *State);

// Ascending, as unsigned 16-bit numbers, in place.
void SortOptionNumbers(UINT16 *Entries, UINTN Count);
// Lowest number that Sorted does not list and whose Boot#### does not exist.
// Reports and returns FALSE when the firmware cannot tell or none is free.
BOOLEAN FindFreeOptionNumber(const UINT16 *Sorted, UINTN Count, UINT16 *Number);
// TRUE while Boot#### of Number does not exist; reports and returns FALSE
// when it does by now or the firmware cannot tell.
BOOLEAN OptionStillFree(UINT16 Number);
// Boot#### with four uppercase digits, NUL-terminated.
void FormatOptionName(UINT16 Number, CHAR16 *Name);

// Boot variables: reading BootOrder, choosing the new option's number, and
// writing Boot#### and BootOrder once the user has confirmed.
#pragma once
#include "common/dialog_state.h"

// Non-volatile, boot-service and runtime access: what a new Boot#### and a
// newly created BootOrder carry.
#define BOOT_VARIABLE_ATTRIBUTES \
  (EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS)

// Reads BootOrder, settles OptionNumber and the attributes of the later
// BootOrder write. Writes no variable.
BOOLEAN ChooseOptionNumber(DialogState *State);
// One light-red line naming the first Boot#### that BootOrder lists (in the
// sorted copy's order) with the same device paths and optional data as the
// new record; nothing when there is none. Never stops the dialogue; writes
// nothing.
void WarnOfDuplicateEntry(const DialogState *State);
// Names Boot####, asks for the one-key confirmation, writes Boot#### and then
// adds its number to BootOrder.
BOOLEAN ConfirmAndWrite(DialogState *State);

// Ascending, as unsigned 16-bit numbers, in place.
void SortOptionNumbers(UINT16 *Entries, UINTN Count);
// Whether Boot#### of Number exists, asked without reading it: EFI_NOT_FOUND
// when it does not, EFI_BUFFER_TOO_SMALL when it does; any other status means
// that the firmware cannot tell.
EFI_STATUS ProbeOption(UINT16 Number);
// Lowest number that Sorted does not list and whose Boot#### does not exist,
// probed in turn. Returns the answer that ended the search, as ProbeOption
// gives it: EFI_NOT_FOUND with *Number free, EFI_BUFFER_TOO_SMALL when every
// number from 0000 to FFFF is taken, any other status when one probe failed.
EFI_STATUS FindFreeOptionNumber(const UINT16 *Sorted, UINTN Count, UINT16 *Number);
// The report of a probe that could not tell.
void ReportProbeFailure(EFI_STATUS Status);
// Boot#### with four uppercase digits, NUL-terminated.
void FormatOptionName(UINT16 Number, CHAR16 *Name);

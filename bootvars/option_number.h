// SPDX-License-Identifier: BSD-2-Clause-Patent
// The new option: its number, its name and the attributes it is written with.
#pragma once
#include "efi.h"

// Non-volatile, boot-service and runtime access: what a new Boot#### and a
// newly created BootOrder carry.
#define BOOT_VARIABLE_ATTRIBUTES \
  (EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS)

// Whether Boot#### of Number exists, asked without reading it: EFI_NOT_FOUND
// when it does not, EFI_BUFFER_TOO_SMALL when it does; any other status means
// that the firmware cannot tell.
EFI_STATUS ProbeOption(UINT16 Number);
// Lowest number that Sorted does not list and whose Boot#### does not exist,
// probed in turn. Returns the answer that ended the search, as ProbeOption
// gives it: EFI_NOT_FOUND with *Number free, EFI_BUFFER_TOO_SMALL when every
// number from 0000 to FFFF is taken, any other status when one probe failed.
EFI_STATUS FindFreeOptionNumber(const UINT16 *Sorted, UINTN Count, UINT16 *Number);
// TRUE when a probe's or a search's Status says the number is free; else
// prints TakenReport (its own line break) when it is taken, or the failed
// probe's report, and returns FALSE.
BOOLEAN NumberIsFreeOrReport(EFI_STATUS Status, const CHAR16 *TakenReport);
// Boot#### with four uppercase digits, NUL-terminated.
void FormatOptionName(UINT16 Number, CHAR16 *Name);

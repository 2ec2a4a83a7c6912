// SPDX-License-Identifier: BSD-2-Clause-Patent
// Reading a global variable whose size is not known beforehand into a pool
// buffer, with the sizes the firmware reports held against the buffer.
#pragma once
#include "efi.h"

// The two reports of a failed read, each ending in "S: ".
struct VariableReadReports {
  const CHAR16 *AllocationFailed;
  const CHAR16 *ReadFailed;
};

// Reads Name (vendor EFI_GLOBAL_VARIABLE) into a pool buffer of FirstCapacity
// bytes, regrown to the size the firmware asks for. *Buffer holds the buffer
// from the moment it exists (the caller frees it, after a failure too) and is
// NULL when none is held. TRUE when read (*Exists TRUE; *Size is the byte
// count of the data, never above the buffer's capacity) or absent (*Exists
// FALSE); FALSE after one of the reports.
BOOLEAN ReadVariableToPool(const CHAR16 *Name, UINTN FirstCapacity, VOID **Buffer, UINTN *Size,
                           UINT32 *Attributes, BOOLEAN *Exists, const VariableReadReports *Reports);
// The same for a variable whose failed read is no fault of the run (an entry
// another program wrote): FALSE without a report.
BOOLEAN ReadVariableToPoolQuietly(const CHAR16 *Name, UINTN FirstCapacity, VOID **Buffer,
                                  UINTN *Size, UINT32 *Attributes, BOOLEAN *Exists);

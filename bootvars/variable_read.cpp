// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "bootvars/variable_read.h"

#include "common/firmware_context.h"
#include "common/pool.h"
#include "console/output.h"

// A variable that another agent keeps growing gets a few more reads; a
// firmware that keeps asking for more without end does not get a run that
// never ends.
#define MAX_VARIABLE_READS 8

static BOOLEAN AllocateVariableBuffer(UINTN Capacity, VOID **Buffer,
                                      const VariableReadReports *Reports) {
  EFI_STATUS Status = AllocatePoolOrNull(Capacity, Buffer);
  if (Status != EFI_SUCCESS || *Buffer == nullptr) {
    if (Reports != nullptr) {
      ReportError(Reports->AllocationFailed, Status);
    }
    return FALSE;
  }
  return TRUE;
}

// Reports NULL: a failure is told only by the result.
static BOOLEAN ReadIntoPool(const CHAR16 *Name, UINTN FirstCapacity, VOID **Buffer, UINTN *Size,
                            UINT32 *Attributes, BOOLEAN *Exists,
                            const VariableReadReports *Reports) {
  UINTN Capacity = FirstCapacity;
  if (!AllocateVariableBuffer(Capacity, Buffer, Reports)) {
    return FALSE;
  }
  for (UINTN Read = 1;; Read++) {
    *Size = Capacity;
    EFI_STATUS Status = gFirmware.RuntimeServices->GetVariable(Name, &EFI_GLOBAL_VARIABLE_GUID,
                                                               Attributes, Size, *Buffer);
    if (Status == EFI_NOT_FOUND) {
      *Exists = FALSE;
      return TRUE;
    }
    if (Status == EFI_BUFFER_TOO_SMALL && *Size > Capacity && Read < MAX_VARIABLE_READS) {
      FreePoolToNull(Buffer);  // a failed reallocation leaves nothing to free twice
      Capacity = *Size;
      if (!AllocateVariableBuffer(Capacity, Buffer, Reports)) {
        return FALSE;
      }
      continue;
    }
    // Also a "too small" that asks for no more room than the buffer has, and
    // a success that claims more data than the buffer holds: the report
    // shows the status the firmware answered.
    if (Status != EFI_SUCCESS || *Size > Capacity) {
      if (Reports != nullptr) {
        ReportError(Reports->ReadFailed, Status);
      }
      return FALSE;
    }
    *Exists = TRUE;
    return TRUE;
  }
}

BOOLEAN ReadVariableToPool(const CHAR16 *Name, UINTN FirstCapacity, VOID **Buffer, UINTN *Size,
                           UINT32 *Attributes, BOOLEAN *Exists,
                           const VariableReadReports *Reports) {
  return ReadIntoPool(Name, FirstCapacity, Buffer, Size, Attributes, Exists, Reports);
}

BOOLEAN ReadVariableToPoolQuietly(const CHAR16 *Name, UINTN FirstCapacity, VOID **Buffer,
                                  UINTN *Size, UINT32 *Attributes, BOOLEAN *Exists) {
  return ReadIntoPool(Name, FirstCapacity, Buffer, Size, Attributes, Exists, nullptr);
}

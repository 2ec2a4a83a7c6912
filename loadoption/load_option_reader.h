// SPDX-License-Identifier: BSD-2-Clause-Patent
// A load option read back: another program may have written it, so nothing
// in it is trusted before it has been held against the record's size.
#pragma once
#include "efi.h"

// What a boot manager starts from a load option: FilePathListLength and every
// byte after the description (the device paths, then the optional data).
// The description is only its name.
struct LoadOptionParts {
  const CHAR16 *Description;  // into the record, its NUL within the record
  UINT16 FilePathListLength;
  const UINT8 *PathsAndData;  // into the record, through its last byte
  UINTN PathsAndDataSize;
};

// FALSE for a record too short for its header, without a NUL that ends the
// description, or whose FilePathListLength runs past its end. Record must be
// aligned for CHAR16, as every pool buffer is.
BOOLEAN SplitLoadOption(const UINT8 *Record, UINTN Size, LoadOptionParts *Parts);
// The same device paths and the same optional data, whatever the names.
BOOLEAN SamePathsAndData(const LoadOptionParts *A, const LoadOptionParts *B);

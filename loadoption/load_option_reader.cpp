// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "loadoption/load_option_reader.h"

#include "loadoption/load_option.h"

BOOLEAN SplitLoadOption(const UINT8 *Record, UINTN Size, LoadOptionParts *Parts) {
  if (Size < LOAD_OPTION_HEADER_BYTES) {
    return FALSE;
  }
  UINTN At = LOAD_OPTION_HEADER_BYTES;
  // Whole characters only: a last odd byte cannot hold the NUL.
  while (Size - At >= sizeof(CHAR16) && (Record[At] != 0 || Record[At + 1] != 0)) {
    At += sizeof(CHAR16);
  }
  if (Size - At < sizeof(CHAR16)) {
    return FALSE;
  }
  At += sizeof(CHAR16);
  UINT16 FilePathListLength = (UINT16)(Record[4] | (Record[5] << 8));
  if (FilePathListLength > Size - At) {
    return FALSE;
  }
  Parts->Description = (const CHAR16 *)(Record + LOAD_OPTION_HEADER_BYTES);
  Parts->FilePathListLength = FilePathListLength;
  Parts->PathsAndData = Record + At;
  Parts->PathsAndDataSize = Size - At;
  return TRUE;
}

BOOLEAN SamePathsAndData(const LoadOptionParts *A, const LoadOptionParts *B) {
  if (A->FilePathListLength != B->FilePathListLength ||
      A->PathsAndDataSize != B->PathsAndDataSize) {
    return FALSE;
  }
  for (UINTN I = 0; I < A->PathsAndDataSize; I++) {
    if (A->PathsAndData[I] != B->PathsAndData[I]) {
      return FALSE;
    }
  }
  return TRUE;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "console/output.h"

#include "common/firmware_context.h"
#include "console/colours.h"
#include "console/hex_digits.h"

#define STATUS_DIGITS 16
#define FOREIGN_CHUNK 32

void Print(const CHAR16 *Text) { gFirmware.ConOut->OutputString(gFirmware.ConOut, Text); }

// C0 controls, DEL and the C1 controls, which a terminal would obey.
static BOOLEAN IsControl(CHAR16 C) { return C < 0x20 || (C >= 0x7F && C <= 0x9F); }

void PrintForeignText(const CHAR16 *Text) {
  CHAR16 Chunk[FOREIGN_CHUNK + 1];
  UINTN Count = 0;
  for (const CHAR16 *C = Text; *C != 0; C++) {
    Chunk[Count++] = IsControl(*C) ? u'?' : *C;
    if (Count == FOREIGN_CHUNK || C[1] == 0) {
      Chunk[Count] = 0;
      Print(Chunk);
      Count = 0;
    }
  }
}

// A status reads the same on every architecture: 32-bit firmware's error bit
// (bit 31) is shown as bit 63, so EFI_NOT_FOUND is 800000000000000E on IA32
// and 32-bit Arm too.
void PrintStatus(EFI_STATUS Status) {
  UINT64 Shown = EFI_ERROR(Status) ? (Status & ~EFI_ERROR_BIT) | 0x8000000000000000ULL : Status;
  CHAR16 Buffer[STATUS_DIGITS + 3];
  WriteHexDigits(Shown, Buffer, STATUS_DIGITS / 2);
  Buffer[STATUS_DIGITS] = u'\r';
  Buffer[STATUS_DIGITS + 1] = u'\n';
  Buffer[STATUS_DIGITS + 2] = 0;
  Print(Buffer);
}

void PrintHexValue(UINT64 Value) {
  CHAR16 Buffer[STATUS_DIGITS + 1];
  WriteHexDigits(Value, Buffer, STATUS_DIGITS / 2);
  Buffer[STATUS_DIGITS] = 0;
  UINTN First = 0;
  while (First < STATUS_DIGITS - 1 && Buffer[First] == u'0') {
    First++;
  }
  Print(Buffer + First);
}

void PrintHighlighted(const CHAR16 *Before, UINT64 Value, const CHAR16 *After) {
  Print(Before);
  SetRole(ATTR_HIGHLIGHT);
  PrintHexValue(Value);
  SetRole(ATTR_NORMAL);
  Print(After);
}

void PrintHighlightedText(const CHAR16 *Before, const CHAR16 *Text, const CHAR16 *After) {
  Print(Before);
  SetRole(ATTR_HIGHLIGHT);
  Print(Text);
  SetRole(ATTR_NORMAL);
  Print(After);
}

// One run at a time; the entry point clears it (NoteFailure(EFI_SUCCESS)).
static EFI_STATUS Noted = EFI_SUCCESS;

void NoteFailure(EFI_STATUS Status) { Noted = Status; }

EFI_STATUS NotedFailure() { return Noted; }

void ReportRefusal(const CHAR16 *Option, const CHAR16 *Value, const CHAR16 *Problem) {
  SetRole(ATTR_ERROR);
  Print(u"E: ");
  PrintForeignText(Option);
  if (Value != nullptr) {
    Print(u" ");
    PrintForeignText(Value);
  }
  Print(Problem);
  Print(u"\r\n");
  SetRole(ATTR_NORMAL);
  NoteFailure(EFI_INVALID_PARAMETER);
}

void ReportError(const CHAR16 *Message, EFI_STATUS Status) {
  NoteFailure(Status);
  SetRole(ATTR_ERROR);
  Print(Message);
  PrintStatus(Status);
}

void ReportErrorText(const CHAR16 *Message) {
  SetRole(ATTR_ERROR);
  Print(Message);
}

void ReportListError(const CHAR16 *Message, EFI_STATUS Status) {
  SetRole(ATTR_LIST_ERROR);
  Print(Message);
  SetRole(ATTR_NORMAL);
  PrintStatus(Status);
}

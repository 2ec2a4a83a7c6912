// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "console/line_editor.h"

#include "common/firmware_context.h"
#include "console/colours.h"
#include "console/keyboard.h"
#include "console/output.h"

#define KEY_BACKSPACE 0x08
#define KEY_DEL 0x7F

// Terminals send DEL for Backspace. EDK2's terminal driver hands a received
// DEL on as the Delete key (scan code only), U-Boot as Ctrl-H; another
// firmware may pass DEL itself. All three erase alike.
static BOOLEAN IsEraseKey(EFI_INPUT_KEY Key) {
  return Key.UnicodeChar == KEY_BACKSPACE || Key.UnicodeChar == KEY_DEL ||
         (Key.UnicodeChar == 0 && Key.ScanCode == SCAN_DELETE);
}

// Erases the character left of the cursor. After the typed text has wrapped,
// column 0 means the character sits in the last column of the row above.
static void EraseLastEcho() {
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut = gFirmware.ConOut;
  UINTN Column = (UINTN)ConOut->Mode->CursorColumn;
  UINTN Row = (UINTN)ConOut->Mode->CursorRow;
  if (Column == 0) {
    UINTN Columns;
    UINTN Rows;
    EFI_STATUS Status = ConOut->QueryMode(ConOut, (UINTN)ConOut->Mode->Mode, &Columns, &Rows);
    if (Status != EFI_SUCCESS || Columns == 0 || Row == 0) {
      return;  // the screen cannot be corrected; the buffer still is
    }
    Column = Columns;
    Row--;
  }
  ConOut->SetCursorPosition(ConOut, Column - 1, Row);
  Print(u" ");
  ConOut->SetCursorPosition(ConOut, Column - 1, Row);
}

UINTN GetStringFromUser(CHAR16 *Buffer, UINTN Capacity) {
  SetRole(ATTR_HIGHLIGHT);
  UINTN Count = 0;
  for (;;) {
    EFI_INPUT_KEY Key;
    EFI_STATUS Status = WaitForKeyStroke(&Key);
    CHAR16 C = Key.UnicodeChar;
    if (C == KEY_ENTER || Status != EFI_SUCCESS) {
      break;
    }
    if (IsEraseKey(Key)) {
      if (Count > 0) {
        EraseLastEcho();
        Count--;
      }
    } else if (C > 0x1F) {
      CHAR16 Echo[2] = {C, 0};
      Print(Echo);
      Buffer[Count++] = C;
    }
    if (Count >= Capacity) {
      Count--;  // the buffer is full: input ends, the last key is not kept
      break;
    }
  }
  Buffer[Count] = 0;
  SetRole(ATTR_NORMAL);
  Print(u"\r\n");
  return Count;
}

UINTN GetStringOrDefault(CHAR16 *Buffer, UINTN Capacity, const CHAR16 *Default) {
  UINTN Count = GetStringFromUser(Buffer, Capacity);
  if (Count > 0) {
    return Count;
  }
  while (Default[Count] != 0) {
    Buffer[Count] = Default[Count];
    Count++;
  }
  Buffer[Count] = 0;
  return Count;
}

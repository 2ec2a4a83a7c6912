#include "app/firmware_context.h"
#include "console/colours.h"
#include "console/input.h"
#include "console/output.h"

#define KEY_BACKSPACE 0x08
#define KEY_ENTER 0x0D

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
    CHAR16 C = WaitForKeyChar();
    if (C == KEY_ENTER) {
      break;
    }
    if (C > 0x1F) {
      CHAR16 Echo[2] = {C, 0};
      Print(Echo);
      Buffer[Count++] = C;
    } else if (C == KEY_BACKSPACE && Count > 0) {
      EraseLastEcho();
      Count--;
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

#include "app/firmware_context.h"
#include "console/input.h"

CHAR16 WaitForKeyChar() {
  EFI_SIMPLE_TEXT_INPUT_PROTOCOL *ConIn = gFirmware.ConIn;
  for (;;) {
    EFI_EVENT KeyEvent = ConIn->WaitForKey;
    UINTN Index;
    gFirmware.BootServices->WaitForEvent(1, &KeyEvent, &Index);
    EFI_INPUT_KEY Key;
    // A key event without a readable key (the firmware lost it, or another
    // reader took it) is not an answer: wait for the next one.
    if (ConIn->ReadKeyStroke(ConIn, &Key) == EFI_SUCCESS) {
      return Key.UnicodeChar;
    }
  }
}

#include "app/firmware_context.h"
#include "console/input.h"

// More keys than a person types ahead; a console that never runs dry (a
// stuck key, a line noise source) stops the discard here instead of hanging.
#define MAX_DISCARDED_KEYS 256

EFI_INPUT_KEY WaitForKeyStroke() {
  EFI_SIMPLE_TEXT_INPUT_PROTOCOL *ConIn = gFirmware.ConIn;
  for (;;) {
    EFI_EVENT KeyEvent = ConIn->WaitForKey;
    UINTN Index;
    gFirmware.BootServices->WaitForEvent(1, &KeyEvent, &Index);
    EFI_INPUT_KEY Key;
    // A key event without a readable key (the firmware lost it, or another
    // reader took it) is not an answer: wait for the next one.
    if (ConIn->ReadKeyStroke(ConIn, &Key) == EFI_SUCCESS) {
      return Key;
    }
  }
}

CHAR16 WaitForKeyChar() { return WaitForKeyStroke().UnicodeChar; }

void DiscardWaitingKeys() {
  EFI_SIMPLE_TEXT_INPUT_PROTOCOL *ConIn = gFirmware.ConIn;
  // Reading without waiting answers EFI_NOT_READY once the queue is empty.
  // Any other failure also means there is nothing more to take; Reset would
  // empty the queue too, but on EDK2 it resets the serial device as well.
  for (UINTN Discarded = 0; Discarded < MAX_DISCARDED_KEYS; Discarded++) {
    EFI_INPUT_KEY Key;
    if (ConIn->ReadKeyStroke(ConIn, &Key) != EFI_SUCCESS) {
      return;
    }
  }
}

#include "console/screen.h"

#include "app/firmware_context.h"

// Neither call ends the run when it fails: a console that cannot clear or
// show a cursor still carries the whole dialogue, so each status is tested
// and deliberately let go without a report.

void PrepareScreen() {
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut = gFirmware.ConOut;
  // Firmwares start applications with the logo, a progress bar or their own
  // lines on screen; U-Boot's serial console also counts rows from wherever
  // it believes the cursor is, and only a cleared screen makes that true,
  // which the line editor's erase relies on.
  if (ConOut->ClearScreen(ConOut) != EFI_SUCCESS) {
    // the firmware's output stays above the banner
  }
  // EDK2's graphical console starts applications with the cursor hidden.
  if (ConOut->EnableCursor(ConOut, TRUE) != EFI_SUCCESS) {
    // typing still echoes; only the cursor stays as it was
  }
}

void RestoreCursorVisibility() {
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut = gFirmware.ConOut;
  if (ConOut->EnableCursor(ConOut, gFirmware.SavedCursorVisible) != EFI_SUCCESS) {
    // the firmware finds the cursor as the dialogue left it
  }
}

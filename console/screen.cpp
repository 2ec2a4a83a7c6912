// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "console/screen.h"

#include "common/firmware_context.h"

// These calls only change how the screen looks: a console that cannot clear
// or show a cursor still carries the whole dialogue, so their statuses are
// ignored on purpose, without a report and without ending the run.

void PrepareScreen() {
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut = gFirmware.ConOut;
  // Firmwares start applications with the logo, a progress bar or their own
  // lines on screen; U-Boot's serial console also counts rows from wherever
  // it believes the cursor is, and only a cleared screen makes that true,
  // which the line editor's erase relies on. Uncleared, the firmware's
  // output stays above the banner.
  (void)ConOut->ClearScreen(ConOut);
  // EDK2's graphical console starts applications with the cursor hidden;
  // typing echoes all the same.
  (void)ConOut->EnableCursor(ConOut, TRUE);
}

void RestoreCursorVisibility() {
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut = gFirmware.ConOut;
  (void)ConOut->EnableCursor(ConOut, gFirmware.SavedCursorVisible);
}

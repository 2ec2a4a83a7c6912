#include "console/screen.h"

#include "common/firmware_context.h"

// Both calls only change how the screen looks: a console that cannot clear or
// show a cursor still carries the whole dialogue. Their status is tested here
// and deliberately let go, without a report and without ending the run.
static void LetCosmeticFailureGo(EFI_STATUS Status) { (void)Status; }

void PrepareScreen() {
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut = gFirmware.ConOut;
  // Firmwares start applications with the logo, a progress bar or their own
  // lines on screen; U-Boot's serial console also counts rows from wherever
  // it believes the cursor is, and only a cleared screen makes that true,
  // which the line editor's erase relies on. Uncleared, the firmware's
  // output stays above the banner.
  LetCosmeticFailureGo(ConOut->ClearScreen(ConOut));
  // EDK2's graphical console starts applications with the cursor hidden;
  // typing echoes all the same.
  LetCosmeticFailureGo(ConOut->EnableCursor(ConOut, TRUE));
}

void RestoreCursorVisibility() {
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut = gFirmware.ConOut;
  LetCosmeticFailureGo(ConOut->EnableCursor(ConOut, gFirmware.SavedCursorVisible));
}

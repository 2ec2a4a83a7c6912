// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/dialogue.h"
#include "app/option_sources.h"
#include "app/parse_options.h"
#include "common/firmware_context.h"
#include "console/colours.h"
#include "console/output.h"
#include "console/screen.h"

// The options point into the words, which therefore live as long as the
// run; static, so that the firmware's stack does not hold them.
static OptionWords Words;
static RunOptions Options;

// The options of the run into State: none (the dialogue), or those of the
// command line or of addbootentry.conf, parsed. FALSE when the run ends
// here, before anything is asked or written, with Status: bad options
// (their message is on the screen), --help and --version.
static BOOLEAN TakeOptions(DialogState *State, EFI_STATUS *Status) {
  OptionsFound Found = GatherOptionWords(&Words, Status);
  if (Found == OptionsNone) {
    return TRUE;
  }
  if (Found == OptionsGiven) {
    *Status = ParseRunOptions(Words.Count, Words.Words, RUN_ACCEPTS_THEN, &Options);
  }
  if (*Status != EFI_SUCCESS) {
    return FALSE;
  }
  if (Options.Help || Options.Version) {
    SetRole(ATTR_NORMAL);
    if (Options.Help) PrintUsage(RUN_ACCEPTS_THEN);
    if (Options.Version) PrintVersion();
    return FALSE;
  }
  State->Options = &Options;
  return TRUE;
}

extern "C" EFI_STATUS EFIAPI EfiMain(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  InitFirmwareContext(ImageHandle, SystemTable);
  DialogState State = {};
  EFI_STATUS Status = EFI_SUCCESS;
  if (!TakeOptions(&State, &Status)) {
    // No closing prompt: the screen stays as the Shell had it, with the message.
    RestoreSavedAttribute();
    gFirmware.BootServices->Exit(ImageHandle, Status, 0, nullptr);
    return Status;  // only if the firmware's Exit came back
  }

  PrepareScreen();
  SetRole(ATTR_BANNER);
  Print(u"Let's create our Load Option!\r\n");
  SetRole(ATTR_NORMAL);

  RunDialogue(&State);
  FinishRun(&State);
  return EFI_SUCCESS;  // only if the firmware's Exit came back
}

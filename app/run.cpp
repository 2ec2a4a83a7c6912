// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/run.h"

#include "app/dialogue.h"
#include "app/parse_options.h"
#include "common/firmware_context.h"
#include "common/pool.h"
#include "console/colours.h"
#include "console/keyboard.h"
#include "console/output.h"
#include "console/screen.h"

// --help and --version print and leave; nothing else runs.
static EFI_STATUS PrintAndExit(const RunOptions *Options, UINT32 Accepted, VOID **WordsPool) {
  if (Options->Help) {
    PrintUsage(Accepted);
  } else {
    PrintVersion();
  }
  FreePoolToNull(WordsPool);
  gFirmware.BootServices->Exit(gFirmware.ImageHandle, EFI_SUCCESS, 0, nullptr);
  return EFI_SUCCESS;
}

EFI_STATUS RunApplication(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable, UINTN Count,
                          const CHAR16 *const *Words, VOID *WordsPool, UINT32 Accepted) {
  InitFirmwareContext(ImageHandle, SystemTable);
  // Left from an earlier run in the same process (the host tests, the fuzzer).
  NoteFailure(EFI_SUCCESS);
  DropAnswers();
  DialogState State = {};
  State.OptionWords = WordsPool;
  RunOptions Options;
  EFI_STATUS Parsed = ParseRunOptions(Count, Words, Accepted, &Options);
  if (Parsed != EFI_SUCCESS) {
    State.Options = &Options;  // refused: ends as an unattended run that failed
    FinishRun(&State);
    return Parsed;
  }
  if (Options.Help || Options.Version) {
    return PrintAndExit(&Options, Accepted, &State.OptionWords);
  }
  State.Options = Options.Unattended ? &Options : nullptr;

  PrepareScreen();
  SetRole(ATTR_BANNER);
  Print(u"Let's create our Load Option!\r\n");
  SetRole(ATTR_NORMAL);

  RunDialogue(&State);
  FinishRun(&State);
  return EFI_SUCCESS;  // only if the firmware's Exit came back
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/dialogue.h"
#include "app/option_sources.h"
#include "app/run.h"
#include "common/firmware_context.h"
#include "common/run_options.h"
#include "console/output.h"

// The run's options point into the words, which therefore live as long as
// the run; static, so that the firmware's stack does not hold them.
static OptionWords Words;

// Options that could not be read (their message is on the screen) end the
// run as a refused unattended one: its closing line and Exit with Failure.
static EFI_STATUS RefuseRun(EFI_STATUS Failure) {
  DialogState State = {};
  RunOptions Options = {};
  State.Options = &Options;
  NoteFailure(Failure);
  FinishRun(&State);
  return Failure;  // only if the firmware's Exit came back
}

extern "C" EFI_STATUS EFIAPI EfiMain(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  InitFirmwareContext(ImageHandle, SystemTable);
  EFI_STATUS Failure = EFI_SUCCESS;
  if (GatherOptionWords(&Words, &Failure) == OptionsRefused) {
    return RefuseRun(Failure);
  }
  return RunApplication(ImageHandle, SystemTable, Words.Count, Words.Words, nullptr,
                        RUN_ACCEPTS_THEN);
}

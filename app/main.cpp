// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/dialogue.h"
#include "app/option_sources.h"
#include "app/run.h"
#include "common/firmware_context.h"
#include "common/run_options.h"
#include "console/output.h"

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
  // The run's options point into the words, which therefore live in this
  // frame, under the run. On the stack (8 KiB of the 128 KiB that UEFI
  // promises an image), not static: zeroed statics are file bytes here.
  OptionWords Words;
  EFI_STATUS Failure = EFI_SUCCESS;
  if (GatherOptionWords(&Words, &Failure) == OptionsRefused) {
    return RefuseRun(Failure);
  }
  return RunApplication(ImageHandle, SystemTable, Words.Count, Words.Words, nullptr,
                        RUN_ACCEPTS_THEN);
}

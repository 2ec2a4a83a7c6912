// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/dialogue.h"
#include "common/firmware_context.h"
#include "console/colours.h"
#include "console/output.h"
#include "console/screen.h"

extern "C" EFI_STATUS EFIAPI EfiMain(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  InitFirmwareContext(ImageHandle, SystemTable);
  DialogState State = {};

  PrepareScreen();
  SetRole(ATTR_BANNER);
  Print(u"Let's create our Load Option!\r\n");
  SetRole(ATTR_NORMAL);

  RunDialogue(&State);
  FinishRun(&State);
  return EFI_SUCCESS;  // only if the firmware's Exit came back
}

#include "app/dialogue.h"
#include "app/firmware_context.h"
#include "console/colours.h"
#include "console/input.h"
#include "console/output.h"

static void FreeIfHeld(VOID *Buffer) {
  if (Buffer != nullptr) {
    gFirmware.BootServices->FreePool(Buffer);
  }
}

void FinishRun(DialogState *State) {
  FreeIfHeld(State->SfsHandles);
  FreeIfHeld(State->BlockIoHandles);
  FreeIfHeld(State->homevoldpfull);
  FreeIfHeld(State->bootvoldpfull);
  FreeIfHeld(State->LoadOption);
  FreeIfHeld(State->BootOrder);
  State->SfsHandles = nullptr;
  State->BlockIoHandles = nullptr;
  State->homevoldpfull = nullptr;
  State->bootvoldpfull = nullptr;
  State->LoadOption = nullptr;
  State->BootOrder = nullptr;

  SetRole(ATTR_NORMAL);
  Print(u"Press <s> to shutdown or anything else (exc. <Enter>) to exit this app.\r\n");
  RestoreSavedAttribute();

  if (WaitForKeyChar() == u's') {
    gFirmware.RuntimeServices->ResetSystem(EfiResetShutdown, EFI_SUCCESS, 0, nullptr);
  }
  gFirmware.BootServices->Exit(gFirmware.ImageHandle, EFI_SUCCESS, 0, nullptr);
}

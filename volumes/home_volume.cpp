// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "volumes/home_volume.h"

#include "common/firmware_context.h"
#include "common/pool.h"
#include "console/output.h"
#include "console/questions.h"
#include "volumes/listing.h"
#include "volumes/volume_answers.h"

// Every handle keeps its position as its number, shown or not, so that the
// numbers stay the same for the Boot Volume question later on.
static void ListVolumes(const DialogState *State) {
  for (UINTN Position = 0; Position < State->SfsHandleCount; Position++) {
    EFI_DEVICE_PATH_PROTOCOL *Path = OpenListedDevicePath(State->SfsHandles[Position]);
    if (Path != nullptr) {
      PrintListEntry(Position, Path, State->DevicePathToText);
    }
  }
}

BOOLEAN ChooseHomeVolume(DialogState *State) {
  EFI_BOOT_SERVICES *BootServices = gFirmware.BootServices;
  EFI_STATUS Status = LocateHandleBufferOrNull(&EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID,
                                               &State->SfsHandleCount, &State->SfsHandles);
  if (Status != EFI_SUCCESS || !HandleAnswerIsWhole(State->SfsHandleCount, State->SfsHandles)) {
    ReportError(u"E: locating handles with SFSP, S: ", Status);
    return FALSE;
  }
  PrintHighlighted(u"Found ", State->SfsHandleCount, u" handles (hex), supporting SFSP.");

  Status = BootServices->LocateProtocol(&EFI_DEVICE_PATH_TO_TEXT_PROTOCOL_GUID, nullptr,
                                        (VOID **)&State->DevicePathToText);
  if (Status != EFI_SUCCESS || State->DevicePathToText == nullptr) {
    ReportError(u"E: locating DPTTP, S: ", Status);
    return FALSE;
  }
  ListVolumes(State);
  if (State->Options != nullptr && !AnswerHomeVolume(State)) {
    return FALSE;
  }

  // The limit is the whole list: a volume left out of it can still be chosen.
  Status = GetIndexFromUser(u"\r\nEnter the index for Home Volume (Loader home): ",
                            &State->HomeIndex, State->SfsHandleCount);
  if (Status != EFI_SUCCESS) {
    ReportError(u"E: user fail to pick the Home Volume, S: ", Status);
    return FALSE;
  }
  State->homevolh = State->SfsHandles[State->HomeIndex];
  Status = BootServices->OpenProtocol(State->homevolh, &EFI_DEVICE_PATH_PROTOCOL_GUID,
                                      (VOID **)&State->homevoldp, gFirmware.ImageHandle, nullptr,
                                      EFI_OPEN_PROTOCOL_GET_PROTOCOL);
  if (Status != EFI_SUCCESS || State->homevoldp == nullptr) {
    ReportError(u"E: on opening Device Path on homevolh, S: ", Status);
    return FALSE;
  }
  return TRUE;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "volumes/boot_volume.h"

#include "common/firmware_context.h"
#include "common/pool.h"
#include "console/output.h"
#include "console/questions.h"
#include "volumes/listing.h"
#include "volumes/partition_listing.h"
#include "volumes/volume_answers.h"

// Values 0 to 3 are accepted; 0 (FAT) is wrong here but harmless.
#define FS_TYPE_LIMIT 4
// The type sits in bits 13 and 14 of the code.
#define FS_TYPE_SHIFT 13

// A FAT Boot Volume is one of the volumes listed for the Home Volume, so the
// numbers on screen serve again and no list is shown.
static BOOLEAN PickFatBootVolume(DialogState *State) {
  UINTN Index = 0;
  EFI_STATUS Status =
      GetIndexFromUser(u"Enter the index as you see it highlighted for Boot Volume: ", &Index,
                       State->SfsHandleCount);
  if (Status != EFI_SUCCESS) {
    ReportError(u"E: user fail to pick the Boot Volume, S: ", Status);
    return FALSE;
  }
  State->bootvolh = State->SfsHandles[Index];
  State->FsTypeCode = 0;
  return TRUE;
}

static BOOLEAN AskFsTypeCode(DialogState *State) {
  UINTN FsType = 0;
  EFI_STATUS Status = GetIndexFromUser(
      u"Tell the BV's FS type (you must know it). Setting FAT (0)\r\n"
      u"now is wrong. This was handled above and if you're here,you've picked a non-FAT volume. "
      u"Only valid values are:\r\n1 - KFS, 2 - WFS, 3 - QFS: ",
      &FsType, FS_TYPE_LIMIT);
  if (Status != EFI_SUCCESS) {
    ReportError(u"E: user fail in setting FS type, S: ", Status);
    return FALSE;
  }
  State->FsTypeCode = (UINT16)((FsType << FS_TYPE_SHIFT) & 0xFFFF);
  return TRUE;
}

// The limit is the count of all block devices, not of the partitions shown:
// a position left out of the list is accepted, as for the Home Volume.
static BOOLEAN PickPartition(DialogState *State) {
  EFI_STATUS Status = LocateHandleBufferOrNull(&EFI_BLOCK_IO_PROTOCOL_GUID,
                                               &State->BlockIoHandleCount, &State->BlockIoHandles);
  if (Status != EFI_SUCCESS ||
      !HandleAnswerIsWhole(State->BlockIoHandleCount, State->BlockIoHandles)) {
    ReportError(u"E: locating handles with BIOP, S: ", Status);
    return FALSE;
  }
  if (ListPartitions(State) == 0) {
    ReportErrorText(
        u"E: you chose non-FAT volume, but there is no such. Make sure you have one.\r\n");
    return FALSE;
  }
  if (State->Options != nullptr && !AnswerPartition(State)) {
    return FALSE;
  }
  UINTN Index = 0;
  Status = GetIndexFromUser(u"\r\nType the exact index as you see it highlighted for Boot Volume: ",
                            &Index, State->BlockIoHandleCount);
  if (Status != EFI_SUCCESS) {
    ReportError(u"E: user fail in picking Boot Volume, S: ", Status);
    return FALSE;
  }
  State->bootvolh = State->BlockIoHandles[Index];
  return AskFsTypeCode(State);
}

BOOLEAN ChooseBootVolume(DialogState *State) {
  State->BvsrdAsFilePath = FALSE;
  if (State->Options != nullptr && !AnswerBootVolume(State)) {
    return FALSE;
  }
  if (!AskYesNo(u"== Do you want to create Boot Volume System Root Descriptor (BVSRD)?\r\n"
                u"Type \"Y/y\" for \"yes\": ")) {
    State->bootvolh = nullptr;
    return TRUE;
  }
  State->BvsrdAsFilePath =
      AskYesNo(u"==== Should BVSRD be stored as FilePathList[1] or Optional Data (default)?\r\n"
               u"\"y\" for storing as \"FilePathList[1]\": ");
  BOOLEAN Fat =
      AskYesNo(u"==== Is Boot Volume (OS home) going to be FAT formatted? \"y\" for \"yes\": ");
  BOOLEAN Picked = Fat ? PickFatBootVolume(State) : PickPartition(State);
  if (!Picked) {
    return FALSE;
  }
  EFI_STATUS Status = gFirmware.BootServices->OpenProtocol(
      State->bootvolh, &EFI_DEVICE_PATH_PROTOCOL_GUID, (VOID **)&State->bootvoldp,
      gFirmware.ImageHandle, nullptr, EFI_OPEN_PROTOCOL_GET_PROTOCOL);
  if (Status != EFI_SUCCESS || State->bootvoldp == nullptr) {
    ReportError(u"E: on opening Device Path on bootvolh, S: ", Status);
    return FALSE;
  }
  return TRUE;
}

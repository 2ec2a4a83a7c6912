// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "volumes/volume_answers.h"

#include "common/firmware_context.h"
#include "console/keyboard.h"
#include "console/output.h"
#include "loadoption/device_path_walk.h"
#include "loadoption/loader_presence.h"
#include "volumes/volume_selector.h"

// Far more than one loader is on: the refusal names the first few.
#define NAMED_CANDIDATES 8
// No position: the selector matched nothing.
#define NO_POSITION (~(UINTN)0)

// The listing has reported a handle without a device path already.
static EFI_DEVICE_PATH_PROTOCOL *QuietDevicePath(EFI_HANDLE Handle) {
  EFI_DEVICE_PATH_PROTOCOL *Path = nullptr;
  EFI_STATUS Status = gFirmware.BootServices->OpenProtocol(Handle, &EFI_DEVICE_PATH_PROTOCOL_GUID,
                                                           (VOID **)&Path, gFirmware.ImageHandle,
                                                           nullptr, EFI_OPEN_PROTOCOL_GET_PROTOCOL);
  return Status == EFI_SUCCESS ? Path : nullptr;
}

static BOOLEAN IsFileSystemVolume(const DialogState *State, EFI_HANDLE Handle) {
  for (UINTN Position = 0; Position < State->SfsHandleCount; Position++) {
    if (State->SfsHandles[Position] == Handle) {
      return TRUE;
    }
  }
  return FALSE;
}

// The first position in Handles whose path carries Text's signature. A
// partition must be one the partition listing offers: no file system.
static UINTN FindSelected(const DialogState *State, const EFI_HANDLE *Handles, UINTN Count,
                          const CHAR16 *Text, BOOLEAN PartitionsOnly) {
  VolumeSelector Selector;
  if (!ParseVolumeSelector(Text, &Selector)) {
    return NO_POSITION;  // the parser let none through
  }
  for (UINTN Position = 0; Position < Count; Position++) {
    if (PartitionsOnly && IsFileSystemVolume(State, Handles[Position])) {
      continue;
    }
    EFI_DEVICE_PATH_PROTOCOL *Path = QuietDevicePath(Handles[Position]);
    if (Path != nullptr && SelectorMatchesPath(&Selector, Path)) {
      return Position;
    }
  }
  return NO_POSITION;
}

static BOOLEAN AnswerPosition(UINTN Position, const CHAR16 *Option, const CHAR16 *Value,
                              const CHAR16 *NoMatch) {
  if (Position == NO_POSITION || !AnswerIndex(Position)) {
    ReportRefusal(Option, Value, NoMatch);
    return FALSE;
  }
  return TRUE;
}

static void Append(CHAR16 *Text, UINTN *Length, const CHAR16 *More) {
  while (*More != 0) {
    Text[(*Length)++] = *More++;
  }
  Text[*Length] = 0;
}

// "E: --loader \EFI\x.efi: on volumes 0 3 (listed above); choose one with
// --volume", or on none. The numbers are the listing's, hexadecimal as it
// shows them; at most NAMED_CANDIDATES of four digits fit the text.
static void RefuseCandidates(const DialogState *State, const UINTN *Found, UINTN Count) {
  if (Count == 0) {
    ReportRefusal(u"--loader", State->Options->Loader, u": on no volume listed above");
    return;
  }
  CHAR16 Problem[32 + NAMED_CANDIDATES * 5 + 48];
  UINTN Length = 0;
  Append(Problem, &Length, u": on volumes");
  for (UINTN I = 0; I < Count && I < NAMED_CANDIDATES; I++) {
    CHAR16 Digits[6] = {u' '};
    UINTN Value = Found[I];
    UINTN Width = 1;
    while (Width < 4 && (Value >> (4 * Width)) != 0) {
      Width++;
    }
    for (UINTN D = 0; D < Width; D++) {
      Digits[1 + D] = u"0123456789ABCDEF"[(Value >> (4 * (Width - 1 - D))) & 0xF];
    }
    Digits[1 + Width] = 0;
    Append(Problem, &Length, Digits);
  }
  Append(Problem, &Length, u" (listed above); choose one with --volume");
  ReportRefusal(u"--loader", State->Options->Loader, Problem);
}

BOOLEAN AnswerHomeVolume(const DialogState *State) {
  const RunOptions *Options = State->Options;
  if (Options->Volume != nullptr) {
    UINTN Position =
        FindSelected(State, State->SfsHandles, State->SfsHandleCount, Options->Volume, FALSE);
    return AnswerPosition(Position, u"--volume", Options->Volume,
                          u": matches no volume listed above");
  }
  UINTN Found[NAMED_CANDIDATES];
  UINTN Count = 0;
  for (UINTN Position = 0; Position < State->SfsHandleCount; Position++) {
    if (LoaderIsOn(State->SfsHandles[Position], Options->Loader)) {
      if (Count < NAMED_CANDIDATES) {
        Found[Count] = Position;
      }
      Count++;
    }
  }
  if (Count != 1) {
    RefuseCandidates(State, Found, Count);
    return FALSE;
  }
  return AnswerPosition(Found[0], u"--loader", Options->Loader, u": on no volume listed above");
}

BOOLEAN AnswerBootVolume(const DialogState *State) {
  const RunOptions *Options = State->Options;
  if (Options->BootVolume == nullptr) {
    return AnswerWith(u"n");
  }
  UINTN Fat =
      FindSelected(State, State->SfsHandles, State->SfsHandleCount, Options->BootVolume, FALSE);
  if (Fat != NO_POSITION && Options->BootFs != BOOT_FS_NONE) {
    ReportRefusal(u"--boot-fs", nullptr, u": the Boot Volume is a FAT volume, which takes none");
    return FALSE;
  }
  if (Fat == NO_POSITION && Options->BootFs == BOOT_FS_NONE) {
    ReportRefusal(u"--boot-volume", Options->BootVolume,
                  u": no FAT volume listed above; for a partition add --boot-fs kfs|wfs|qfs");
    return FALSE;
  }
  AnswerWith(u"y");
  AnswerWith(Options->BvsrdAs == BVSRD_AS_PATH ? u"y" : u"n");
  if (Fat == NO_POSITION) {
    return AnswerWith(u"n");
  }
  AnswerWith(u"y");
  return AnswerPosition(Fat, u"--boot-volume", Options->BootVolume,
                        u": matches no volume listed above");
}

BOOLEAN AnswerPartition(const DialogState *State) {
  const RunOptions *Options = State->Options;
  UINTN Position = FindSelected(State, State->BlockIoHandles, State->BlockIoHandleCount,
                                Options->BootVolume, TRUE);
  if (!AnswerPosition(Position, u"--boot-volume", Options->BootVolume,
                      u": matches no partition listed above")) {
    return FALSE;
  }
  CHAR16 FsType[3] = {(CHAR16)(u'0' + Options->BootFs), u'\r', 0};
  return AnswerWith(FsType);
}

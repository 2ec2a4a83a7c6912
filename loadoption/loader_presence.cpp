// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "loadoption/loader_presence.h"

#include "common/firmware_context.h"
#include "console/output.h"

// A handle that came with a warning is a handle all the same: left open, it
// would pin the volume in the firmware's file system driver. After an error
// the pointer means nothing.
static void CloseGivenFile(EFI_STATUS Status, EFI_FILE_PROTOCOL *File) {
  if (!EFI_ERROR(Status) && File != nullptr) {
    File->Close(File);
  }
}

static BOOLEAN OpenLoaderFile(EFI_FILE_PROTOCOL *Root, const CHAR16 *Path) {
  EFI_FILE_PROTOCOL *File = nullptr;
  EFI_STATUS Status = Root->Open(Root, &File, Path, EFI_FILE_MODE_READ, 0);
  // Nothing is read from the file: its opening is all the proof wanted.
  CloseGivenFile(Status, File);
  if (Status == EFI_NOT_FOUND) {
    NoteFailure(Status);
    ReportErrorText(
        u"E: The file, you specified is not found. Check File Path again and rerun.\r\n");
    return FALSE;
  }
  if (Status != EFI_SUCCESS || File == nullptr) {
    ReportError(u"E: Open file error, S: ", Status);
    return FALSE;
  }
  Print(u"Success!\r\n");
  return TRUE;
}

// The root folder of Volume's file system; NULL after a failure, with the
// report that names the failed call in *Failed and its status in *Status.
static EFI_FILE_PROTOCOL *OpenRoot(EFI_HANDLE Volume, EFI_STATUS *Status, const CHAR16 **Failed) {
  EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *FileSystem = nullptr;
  *Status = gFirmware.BootServices->OpenProtocol(Volume, &EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID,
                                                 (VOID **)&FileSystem, gFirmware.ImageHandle,
                                                 nullptr, EFI_OPEN_PROTOCOL_GET_PROTOCOL);
  if (*Status != EFI_SUCCESS || FileSystem == nullptr) {
    *Failed = u"E: Failed to open SFSP on the homevolh, S: ";
    return nullptr;
  }
  EFI_FILE_PROTOCOL *Root = nullptr;
  *Status = FileSystem->OpenVolume(FileSystem, &Root);
  if (*Status != EFI_SUCCESS || Root == nullptr) {
    CloseGivenFile(*Status, Root);
    *Failed = u"E: Failed to OpenVolume on the Home Volume, S: ";
    return nullptr;
  }
  return Root;
}

BOOLEAN CheckLoaderPresence(EFI_HANDLE homevolh, const CHAR16 *Path) {
  EFI_STATUS Status;
  const CHAR16 *Failed = nullptr;
  EFI_FILE_PROTOCOL *Root = OpenRoot(homevolh, &Status, &Failed);
  if (Root == nullptr) {
    ReportError(Failed, Status);
    return FALSE;
  }
  BOOLEAN Present = OpenLoaderFile(Root, Path);
  Root->Close(Root);
  return Present;
}

BOOLEAN LoaderIsOn(EFI_HANDLE Volume, const CHAR16 *Path) {
  EFI_STATUS Status;
  const CHAR16 *Failed = nullptr;
  EFI_FILE_PROTOCOL *Root = OpenRoot(Volume, &Status, &Failed);
  if (Root == nullptr) {
    return FALSE;
  }
  EFI_FILE_PROTOCOL *File = nullptr;
  Status = Root->Open(Root, &File, Path, EFI_FILE_MODE_READ, 0);
  CloseGivenFile(Status, File);
  Root->Close(Root);
  return Status == EFI_SUCCESS && File != nullptr;
}

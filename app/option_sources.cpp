// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/option_sources.h"

#include "app/options_file.h"
#include "common/firmware_context.h"
#include "console/output.h"

#define OPTIONS_FILE_PATH_CAPACITY 256
// The image's path comes from the firmware; a walk that finds no end node
// within this many bytes gives up.
#define IMAGE_PATH_MAX_BYTES 4096

static const CHAR16 OptionsFileName[] = u"addbootentry.conf";

static BOOLEAN Append(CHAR16 *Path, UINTN Capacity, UINTN *Length, CHAR16 Char) {
  if (Capacity - *Length < 2) {
    return FALSE;
  }
  Path[(*Length)++] = Char == u'/' ? u'\\' : Char;
  Path[*Length] = 0;
  return TRUE;
}

// Appends a File Path node's name (read byte by byte: nodes sit at any
// offset), with a separator before it unless one is there.
static BOOLEAN AppendNodeName(const UINT8 *Node, UINTN NodeLength, CHAR16 *Path, UINTN Capacity,
                              UINTN *Length) {
  UINTN Chars = (NodeLength - 4) / 2;
  const UINT8 *Name = Node + 4;
  if (Chars > 0 && (Name[0] != 0 || Name[1] != 0)) {
    CHAR16 First = (CHAR16)(Name[0] | (Name[1] << 8));
    BOOLEAN Separated = *Length > 0 && Path[*Length - 1] == u'\\';
    if (!Separated && First != u'\\' && First != u'/' && !Append(Path, Capacity, Length, u'\\')) {
      return FALSE;
    }
  }
  for (UINTN At = 0; At < Chars; At++) {
    CHAR16 Char = (CHAR16)(Name[2 * At] | (Name[2 * At + 1] << 8));
    if (Char == 0) {
      break;
    }
    if (!Append(Path, Capacity, Length, Char)) {
      return FALSE;
    }
  }
  return TRUE;
}

BOOLEAN OptionsFilePath(const EFI_DEVICE_PATH_PROTOCOL *ImagePath, CHAR16 *Path, UINTN Capacity) {
  const UINT8 *Bytes = reinterpret_cast<const UINT8 *>(ImagePath);
  UINTN Length = 0;
  BOOLEAN Named = FALSE;
  Path[0] = 0;
  for (UINTN At = 0; IMAGE_PATH_MAX_BYTES - At >= 4;) {
    const UINT8 *Node = Bytes + At;
    UINTN NodeLength = Node[2] | (Node[3] << 8);
    if (Node[0] == END_DEVICE_PATH_TYPE && Node[1] == END_ENTIRE_DEVICE_PATH_SUBTYPE) {
      break;
    }
    if (NodeLength < 4 || NodeLength > IMAGE_PATH_MAX_BYTES - At) {
      return FALSE;
    }
    if (Node[0] == MEDIA_DEVICE_PATH && Node[1] == MEDIA_FILEPATH_DP) {
      if (!AppendNodeName(Node, NodeLength, Path, Capacity, &Length)) {
        return FALSE;
      }
      Named = TRUE;
    }
    At += NodeLength;
  }
  // The folder: everything through the last separator ("\" for a bare name).
  while (Length > 0 && Path[Length - 1] != u'\\') {
    Length--;
  }
  if (!Named || (Length == 0 && !Append(Path, Capacity, &Length, u'\\'))) {
    return FALSE;
  }
  for (const CHAR16 *Char = OptionsFileName; *Char != 0; Char++) {
    if (!Append(Path, Capacity, &Length, *Char)) {
      return FALSE;
    }
  }
  return TRUE;
}

// The file's bytes, one more than allowed so that a larger file shows.
typedef UINT8 FileBuffer[OPTIONS_FILE_MAX_BYTES + 1];

// Reads until the end of the file or one byte past the limit. A size above
// the one asked for is a firmware fault, taken as a failed read.
static EFI_STATUS ReadWhole(EFI_FILE_PROTOCOL *File, FileBuffer Bytes, UINTN *Size) {
  *Size = 0;
  while (*Size < sizeof(FileBuffer)) {
    UINTN Asked = sizeof(FileBuffer) - *Size;
    UINTN Got = Asked;
    EFI_STATUS Status = File->Read(File, &Got, Bytes + *Size);
    if (Status != EFI_SUCCESS) {
      return Status;
    }
    if (Got > Asked) {
      return EFI_DEVICE_ERROR;
    }
    if (Got == 0) {
      break;
    }
    *Size += Got;
  }
  return EFI_SUCCESS;
}

static void CloseGivenFile(EFI_STATUS Status, EFI_FILE_PROTOCOL *File) {
  if (!EFI_ERROR(Status) && File != nullptr) {
    File->Close(File);
  }
}

// The conf file's bytes from the volume, or OptionsNone when it has none.
static OptionsFound ReadOptionsFile(EFI_HANDLE Device, const CHAR16 *Path, FileBuffer Bytes,
                                    UINTN *Size, EFI_STATUS *Failure) {
  EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *FileSystem = nullptr;
  EFI_STATUS Status = gFirmware.BootServices->HandleProtocol(
      Device, &EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID, (VOID **)&FileSystem);
  if (Status != EFI_SUCCESS || FileSystem == nullptr) {
    return OptionsNone;  // loaded from no file system (a network, memory)
  }
  EFI_FILE_PROTOCOL *Root = nullptr;
  EFI_FILE_PROTOCOL *File = nullptr;
  OptionsFound Found = OptionsRefused;
  Status = FileSystem->OpenVolume(FileSystem, &Root);
  if (Status != EFI_SUCCESS || Root == nullptr) {
    CloseGivenFile(Status, Root);
    Root = nullptr;
    ReportError(u"E: opening the volume of addbootentry.conf, S: ", Status);
  } else {
    Status = Root->Open(Root, &File, Path, EFI_FILE_MODE_READ, 0);
    if (Status != EFI_SUCCESS || File == nullptr) {
      CloseGivenFile(Status, File);
      File = nullptr;
    }
    if (Status == EFI_NOT_FOUND) {
      Found = OptionsNone;
    } else if (File == nullptr) {
      ReportError(u"E: opening addbootentry.conf, S: ", Status);
    } else {
      Status = ReadWhole(File, Bytes, Size);
      if (Status != EFI_SUCCESS) {
        ReportError(u"E: reading addbootentry.conf, S: ", Status);
      } else if (*Size > OPTIONS_FILE_MAX_BYTES) {
        ReportErrorText(u"E: addbootentry.conf is larger than 4096 bytes.\r\n");
        Status = EFI_INVALID_PARAMETER;
      } else {
        Found = OptionsGiven;
      }
    }
  }
  if (File != nullptr) {
    File->Close(File);
  }
  if (Root != nullptr) {
    Root->Close(Root);
  }
  // A refusal never ends in success, not even after a call that lied.
  *Failure = Found != OptionsRefused ? EFI_SUCCESS
             : Status == EFI_SUCCESS ? EFI_DEVICE_ERROR
                                     : Status;
  return Found;
}

OptionsFound GatherOptionWords(OptionWords *Words, EFI_STATUS *Failure) {
  ClearOptionWords(Words);
  *Failure = EFI_SUCCESS;
  EFI_LOADED_IMAGE_PROTOCOL *Image = nullptr;
  EFI_STATUS Status = gFirmware.BootServices->HandleProtocol(
      gFirmware.ImageHandle, &EFI_LOADED_IMAGE_PROTOCOL_GUID, (VOID **)&Image);
  if (Status != EFI_SUCCESS || Image == nullptr) {
    return OptionsNone;  // nothing says where we came from: the dialogue
  }
  OptionsFound Found = SplitCommandLine(Image->LoadOptions, Image->LoadOptionsSize, Words);
  if (Found == OptionsRefused) {
    *Failure = EFI_INVALID_PARAMETER;
  }
  CHAR16 Path[OPTIONS_FILE_PATH_CAPACITY];
  if (Found != OptionsNone || Image->DeviceHandle == nullptr || Image->FilePath == nullptr ||
      !OptionsFilePath(Image->FilePath, Path, OPTIONS_FILE_PATH_CAPACITY)) {
    return Found;
  }
  // On the stack, as the words are: read, then gone before the run.
  FileBuffer Bytes;
  UINTN Size = 0;
  Found = ReadOptionsFile(Image->DeviceHandle, Path, Bytes, &Size, Failure);
  if (Found != OptionsGiven) {
    return Found;
  }
  if (!ReadOptionsText(Bytes, Size, Words)) {
    *Failure = EFI_INVALID_PARAMETER;
    return OptionsRefused;
  }
  return Words->Count == 0 ? OptionsNone : OptionsGiven;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "loadoption/load_option.h"

#include "common/firmware_context.h"
#include "common/pool.h"
#include "console/output.h"

#define LOAD_OPTION_ACTIVE 0x00000001U

// The record packs its fields with no gaps, so multi-byte fields land on any
// offset: they are stored byte by byte, little-endian.
static void PutUint16(UINT8 *At, UINT16 Value) {
  At[0] = (UINT8)(Value & 0xFF);
  At[1] = (UINT8)(Value >> 8);
}

static void PutUint32(UINT8 *At, UINT32 Value) {
  PutUint16(At, (UINT16)(Value & 0xFFFF));
  PutUint16(At + 2, (UINT16)(Value >> 16));
}

// Every byte is written: description, loader path, and with a Boot Volume its
// path and the FS type code, which together are the BVSRD. Its placement only
// changes FilePathListLength.
static void FillLoadOption(const DialogState *State) {
  EFI_BOOT_SERVICES *BootServices = gFirmware.BootServices;
  UINT8 *Record = State->LoadOption;
  UINTN FilePathListLength = State->HomePath.ShortSize;
  if (State->BvsrdAsFilePath) {
    FilePathListLength += State->BootPath.ShortSize;
  }
  PutUint32(Record, LOAD_OPTION_ACTIVE);
  PutUint16(Record + 4, (UINT16)(FilePathListLength & 0xFFFF));
  UINT8 *At = Record + LOAD_OPTION_HEADER_BYTES;
  BootServices->CopyMem(At, State->Description, State->DescriptionSize);
  At += State->DescriptionSize;
  BootServices->CopyMem(At, State->HomePath.Short, State->HomePath.ShortSize);
  At += State->HomePath.ShortSize;
  if (State->bootvolh != nullptr) {
    BootServices->CopyMem(At, State->BootPath.Short, State->BootPath.ShortSize);
    At += State->BootPath.ShortSize;
    PutUint16(At, State->FsTypeCode);
  }
}

BOOLEAN BuildLoadOption(DialogState *State) {
  State->LoadOptionSize =
      LOAD_OPTION_HEADER_BYTES + State->DescriptionSize + State->HomePath.ShortSize;
  if (State->bootvolh != nullptr) {
    State->LoadOptionSize += State->BootPath.ShortSize + sizeof(UINT16);
  }
  EFI_STATUS Status = AllocatePoolOrNull(State->LoadOptionSize, (VOID **)&State->LoadOption);
  if (Status != EFI_SUCCESS || State->LoadOption == nullptr) {
    ReportError(u"E: allocating for LoadOption, S: ", Status);
    return FALSE;
  }
  PrintHighlighted(u"The Load Option size: ", State->LoadOptionSize, u" bytes (hexadecimal).\r\n");
  FillLoadOption(State);
  return TRUE;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Test-only variable writer. The end-to-end tests put a command file on the
// ESP and boot this program to prepare the firmware's variables: to plant a
// Boot#### entry that BootOrder does not list, or to set BootNext so that
// the next boot starts exactly the entry under test.
//
// \EFI\test\setvars.txt, one variable per line, in EFI_GLOBAL_VARIABLE:
//   <name> <attributes in hex> <data in hex>      e.g. "BootNext 7 0300"
// Afterwards the machine is reset, not exited to the firmware: BootNext only
// takes effect on the next boot, and under -no-reboot the reset ends QEMU.
#include "efi.h"
#include "efi/efi_loaded_image.h"
#include "tests/efi/print.h"

static const CHAR16 COMMAND_FILE[] = u"\\EFI\\test\\setvars.txt";

static UINT8 Commands[8192];
static UINT8 Data[2048];

static bool Failed(const CHAR16 *What, EFI_STATUS Status) {
  if (Status == EFI_SUCCESS) {
    return false;
  }
  Print(u"SETVARS: error ");
  Print(What);
  Print(u" status ");
  PrintHex(Status, 16);
  Print(u"\r\n");
  return true;
}

// Reads the command file from the volume this program was loaded from.
static bool ReadCommands(EFI_HANDLE ImageHandle, EFI_BOOT_SERVICES *BS, UINTN *Size) {
  VOID *Interface = nullptr;
  if (Failed(u"LoadedImage",
             BS->HandleProtocol(ImageHandle, &EFI_LOADED_IMAGE_PROTOCOL_GUID, &Interface))) {
    return false;
  }
  EFI_HANDLE Device = static_cast<EFI_LOADED_IMAGE_PROTOCOL *>(Interface)->DeviceHandle;
  if (Failed(u"SimpleFileSystem",
             BS->HandleProtocol(Device, &EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID, &Interface))) {
    return false;
  }
  auto *Fs = static_cast<EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *>(Interface);
  EFI_FILE_PROTOCOL *Root = nullptr;
  EFI_FILE_PROTOCOL *File = nullptr;
  if (Failed(u"OpenVolume", Fs->OpenVolume(Fs, &Root)) ||
      Failed(u"Open", Root->Open(Root, &File, COMMAND_FILE, EFI_FILE_MODE_READ, 0))) {
    return false;
  }
  *Size = sizeof(Commands);
  EFI_STATUS Status = File->Read(File, Size, Commands);
  File->Close(File);
  Root->Close(Root);
  return !Failed(u"Read", Status);
}

static int HexDigit(UINT8 C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

static bool IsBlank(UINT8 C) { return C == ' ' || C == '\t'; }

struct Cursor {
  const UINT8 *At;
  const UINT8 *End;
};

static void SkipBlanks(Cursor *C) {
  while (C->At < C->End && IsBlank(*C->At)) C->At++;
}

static bool AtLineEnd(const Cursor *C) {
  return C->At == C->End || *C->At == '\r' || *C->At == '\n';
}

static bool ParseName(Cursor *C, CHAR16 *Name, UINTN Capacity) {
  UINTN N = 0;
  SkipBlanks(C);
  while (!AtLineEnd(C) && !IsBlank(*C->At) && N + 1 < Capacity) Name[N++] = *C->At++;
  Name[N] = 0;
  return N > 0;
}

static bool ParseNumber(Cursor *C, UINT32 *Value) {
  SkipBlanks(C);
  bool Any = false;
  for (*Value = 0; !AtLineEnd(C) && HexDigit(*C->At) >= 0; Any = true) {
    *Value = (*Value << 4) | (UINT32)HexDigit(*C->At++);
  }
  return Any;
}

static bool ParseBytes(Cursor *C, UINTN *Size) {
  SkipBlanks(C);
  for (*Size = 0; !AtLineEnd(C) && !IsBlank(*C->At); (*Size)++) {
    if (*Size == sizeof(Data) || C->End - C->At < 2) return false;
    int High = HexDigit(C->At[0]);
    int Low = HexDigit(C->At[1]);
    if (High < 0 || Low < 0) return false;
    Data[*Size] = (UINT8)(High << 4 | Low);
    C->At += 2;
  }
  SkipBlanks(C);
  return AtLineEnd(C);
}

// One line: parse it and write the variable. Blank lines are skipped.
static void RunLine(Cursor *C, EFI_RUNTIME_SERVICES *RT) {
  CHAR16 Name[64];
  UINT32 Attributes = 0;
  UINTN Size = 0;
  SkipBlanks(C);
  if (AtLineEnd(C)) return;
  if (!ParseName(C, Name, 64) || !ParseNumber(C, &Attributes) || !ParseBytes(C, &Size)) {
    Print(u"SETVARS: error bad line\r\n");
    return;
  }
  EFI_STATUS Status = RT->SetVariable(Name, &EFI_GLOBAL_VARIABLE_GUID, Attributes, Size, Data);
  Print(u"SETVARS: ");
  Print(Name);
  Print(u" status ");
  PrintHex(Status, 16);
  Print(u"\r\n");
}

extern "C" EFI_STATUS EFIAPI EfiMain(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  PrintInit(SystemTable);
  Print(u"\r\nSETVARS: started\r\n");
  UINTN Size = 0;
  if (ReadCommands(ImageHandle, SystemTable->BootServices, &Size)) {
    Cursor C = {Commands, Commands + Size};
    while (C.At < C.End) {
      RunLine(&C, SystemTable->RuntimeServices);
      while (C.At < C.End && *C.At != '\n') C.At++;
      if (C.At < C.End) C.At++;
    }
  }
  Print(u"SETVARS: end\r\n");
  SystemTable->RuntimeServices->ResetSystem(EfiResetCold, EFI_SUCCESS, 0, nullptr);
  return EFI_SUCCESS;
}

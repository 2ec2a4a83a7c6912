// SPDX-License-Identifier: BSD-2-Clause-Patent
// Boot and runtime services of the Linux firmware: the pool is the C heap,
// the handles are the volumes, the variables are efivarfs files, and both
// ways out of the application end the program.
#include "linux/linux_services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "linux/efivarfs.h"
#include "linux/ending.h"
#include "linux/loader_files.h"
#include "linux/run_ending.h"

// The firmware these services were installed for: the tables' functions
// take no context of their own.
static LinuxFirmware *Fw;

static bool SameGuid(const EFI_GUID &A, const EFI_GUID &B) {
  return std::memcmp(&A, &B, sizeof(EFI_GUID)) == 0;
}

static EFI_STATUS EFIAPI AllocatePool(EFI_MEMORY_TYPE, UINTN Size, VOID **Buffer) {
  *Buffer = std::malloc(Size == 0 ? 1 : Size);
  return *Buffer == nullptr ? EFI_OUT_OF_RESOURCES : EFI_SUCCESS;
}

static EFI_STATUS EFIAPI FreePool(VOID *Buffer) {
  std::free(Buffer);
  return EFI_SUCCESS;
}

static LinuxVolume *VolumeOf(EFI_HANDLE Handle) {
  for (auto &Volume : Fw->Volumes) {
    if (Volume.get() == Handle) return Volume.get();
  }
  return nullptr;
}

// Block I/O and the ESP mark are never called: their GUIDs only tell the
// handles apart, as on firmware.
static UINT8 Marker;

static VOID *ProtocolOf(LinuxVolume *Volume, const EFI_GUID &Guid) {
  if (SameGuid(Guid, EFI_DEVICE_PATH_PROTOCOL_GUID)) {
    return Volume->Path.empty() ? nullptr : Volume->Path.data();
  }
  if (SameGuid(Guid, EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID)) {
    return Volume->Fat ? &Volume->FileSystem : nullptr;
  }
  if (SameGuid(Guid, EFI_PART_TYPE_EFI_SYSTEM_PART_GUID)) {
    return Volume->SystemPartition ? &Marker : nullptr;
  }
  return SameGuid(Guid, EFI_BLOCK_IO_PROTOCOL_GUID) ? &Marker : nullptr;
}

static EFI_STATUS EFIAPI OpenProtocol(EFI_HANDLE Handle, const EFI_GUID *Guid, VOID **Interface,
                                      EFI_HANDLE, EFI_HANDLE, UINT32) {
  LinuxVolume *Volume = VolumeOf(Handle);
  if (Volume == nullptr) return EFI_INVALID_PARAMETER;
  // A partition whose table could not be trusted has no device path: the
  // listing says so in its line, the reason comes after the run.
  if (SameGuid(*Guid, EFI_DEVICE_PATH_PROTOCOL_GUID) && Volume->Path.empty()) {
    return EFI_VOLUME_CORRUPTED;
  }
  *Interface = ProtocolOf(Volume, *Guid);
  return *Interface == nullptr ? EFI_UNSUPPORTED : EFI_SUCCESS;
}

// The program has no Loaded Image protocol: its options come from its
// arguments, never from load options or a file beside it.
static EFI_STATUS EFIAPI HandleProtocol(EFI_HANDLE, const EFI_GUID *, VOID **) {
  return EFI_UNSUPPORTED;
}

static EFI_STATUS EFIAPI LocateHandleBuffer(EFI_LOCATE_SEARCH_TYPE SearchType, const EFI_GUID *Guid,
                                            VOID *, UINTN *Count, EFI_HANDLE **Buffer) {
  if (SearchType != ByProtocol) return EFI_INVALID_PARAMETER;
  std::vector<EFI_HANDLE> Found;
  for (auto &Volume : Fw->Volumes) {
    if (ProtocolOf(Volume.get(), *Guid) != nullptr) Found.push_back(Volume.get());
  }
  if (Found.empty()) return EFI_NOT_FOUND;
  EFI_STATUS Status =
      AllocatePool(EfiLoaderData, Found.size() * sizeof(EFI_HANDLE), (VOID **)Buffer);
  if (Status != EFI_SUCCESS) return Status;
  std::memcpy(*Buffer, Found.data(), Found.size() * sizeof(EFI_HANDLE));
  *Count = Found.size();
  return EFI_SUCCESS;
}

// ---- Device paths

// Every path this firmware hands out is its own and well formed.
static UINTN EFIAPI GetDevicePathSize(const EFI_DEVICE_PATH_PROTOCOL *Path) {
  if (Path == nullptr) return 0;
  const UINT8 *Bytes = reinterpret_cast<const UINT8 *>(Path);
  UINTN Size = 0;
  for (;;) {
    auto *Node = reinterpret_cast<const EFI_DEVICE_PATH_PROTOCOL *>(Bytes + Size);
    UINTN Length = DevicePathNodeLength(Node);
    if (Length < sizeof *Node) return 0;
    Size += Length;
    if (IsEndOfPath(Node)) return Size;
  }
}

static EFI_DEVICE_PATH_PROTOCOL *EFIAPI AppendDeviceNode(const EFI_DEVICE_PATH_PROTOCOL *Path,
                                                         const EFI_DEVICE_PATH_PROTOCOL *Node) {
  UINTN Front = Path == nullptr ? 0 : GetDevicePathSize(Path);
  if (Path != nullptr && Front == 0) return nullptr;
  if (Front > 0) Front -= sizeof END_OF_PATH_NODE;  // the end node goes after the new node
  UINTN Added = DevicePathNodeLength(Node);
  UINT8 *Joined = static_cast<UINT8 *>(std::malloc(Front + Added + sizeof END_OF_PATH_NODE));
  if (Joined == nullptr) return nullptr;
  std::memcpy(Joined, Path, Front);
  std::memcpy(Joined + Front, Node, Added);
  std::memcpy(Joined + Front + Added, END_OF_PATH_NODE, sizeof END_OF_PATH_NODE);
  return reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(Joined);
}

// Only the volumes' own paths are ever shown: each has its text made.
static CHAR16 *EFIAPI ConvertDevicePathToText(const EFI_DEVICE_PATH_PROTOCOL *Path, BOOLEAN,
                                              BOOLEAN) {
  for (auto &Volume : Fw->Volumes) {
    if (Volume->Path.empty() || Volume->Path.data() != reinterpret_cast<const UINT8 *>(Path)) {
      continue;
    }
    size_t Bytes = (Volume->Text.size() + 1) * sizeof(CHAR16);
    CHAR16 *Text = static_cast<CHAR16 *>(std::malloc(Bytes));
    if (Text != nullptr) std::memcpy(Text, Volume->Text.c_str(), Bytes);
    return Text;
  }
  return nullptr;
}

static EFI_DEVICE_PATH_TO_TEXT_PROTOCOL DevicePathToText = {nullptr, ConvertDevicePathToText};
static EFI_DEVICE_PATH_UTILITIES_PROTOCOL DevicePathUtilities;

static EFI_STATUS EFIAPI LocateProtocol(const EFI_GUID *Guid, VOID *, VOID **Interface) {
  if (SameGuid(*Guid, EFI_DEVICE_PATH_TO_TEXT_PROTOCOL_GUID)) {
    *Interface = &DevicePathToText;
  } else if (SameGuid(*Guid, EFI_DEVICE_PATH_UTILITIES_PROTOCOL_GUID)) {
    *Interface = &DevicePathUtilities;
  } else {
    return EFI_NOT_FOUND;
  }
  return EFI_SUCCESS;
}

static VOID EFIAPI CopyMem(VOID *Destination, const VOID *Source, UINTN Length) {
  std::memmove(Destination, Source, Length);
}

// ---- Variables

static std::string VariableFolder() { return Fw->Root + "/sys/firmware/efi/efivars"; }

static EFI_STATUS EFIAPI GetVariable(const CHAR16 *Name, const EFI_GUID *Vendor, UINT32 *Attributes,
                                     UINTN *DataSize, VOID *Data) {
  if (Name == nullptr || Vendor == nullptr || DataSize == nullptr) return EFI_INVALID_PARAMETER;
  return ReadVariableFile(VariableFile(VariableFolder(), Name, *Vendor), Attributes, DataSize,
                          Data);
}

static EFI_STATUS EFIAPI SetVariable(const CHAR16 *Name, const EFI_GUID *Vendor, UINT32 Attributes,
                                     UINTN DataSize, const VOID *Data) {
  if (Name == nullptr || Name[0] == 0 || Vendor == nullptr) return EFI_INVALID_PARAMETER;
  EFI_STATUS Status =
      WriteVariableFile(VariableFile(VariableFolder(), Name, *Vendor), Attributes, DataSize, Data);
  NoteVariableWrite(&Fw->Outcome, Name, *Vendor, DataSize, Data, Status);
  return Status;
}

// ---- Ways out: the program ends either way, and never powers the machine off.
// The application hands over EFI_SUCCESS whatever happened: the exit status
// says what its writes came to.

// An unattended run says in its exit data how it ended; the dialogue hands none.
static EFI_STATUS EFIAPI Exit(EFI_HANDLE, EFI_STATUS, UINTN Size, CHAR16 *Data) {
  if (Data != nullptr) EndProgram(EndingOfRun(Fw, reinterpret_cast<const UINT8 *>(Data), Size));
  EndProgram(ExitStatusOf(Fw->Outcome));
}

static VOID EFIAPI ResetSystem(EFI_RESET_TYPE, EFI_STATUS, UINTN, VOID *) {
  EndProgram(ExitStatusOf(Fw->Outcome));
}

static void SayNotes(int ExitCode) {
  if (ExitCode == EXIT_INTERRUPTED) {
    std::fprintf(stderr, "\r\naddbootentry: interrupted%s\n",
                 Fw->Outcome.Wrote ? "" : "; nothing has been written");
  }
  std::string Outcome = OutcomeNote(Fw->Outcome);
  if (!Outcome.empty()) std::fprintf(stderr, "addbootentry: %s\n", Outcome.c_str());
  for (const std::string &Note : Fw->Notes)
    std::fprintf(stderr, "addbootentry: %s\n", Note.c_str());
}

void InstallServices(LinuxFirmware *Installed) {
  Fw = Installed;
  EFI_BOOT_SERVICES &Boot = Fw->BootServices;
  Boot.AllocatePool = AllocatePool;
  Boot.FreePool = FreePool;
  Boot.OpenProtocol = OpenProtocol;
  Boot.HandleProtocol = HandleProtocol;
  Boot.LocateHandleBuffer = LocateHandleBuffer;
  Boot.LocateProtocol = LocateProtocol;
  Boot.CopyMem = CopyMem;
  Boot.Exit = Exit;
  Fw->RuntimeServices.GetVariable = GetVariable;
  Fw->RuntimeServices.SetVariable = SetVariable;
  Fw->RuntimeServices.ResetSystem = ResetSystem;
  Fw->SystemTable.BootServices = &Fw->BootServices;
  Fw->SystemTable.RuntimeServices = &Fw->RuntimeServices;
  DevicePathUtilities.GetDevicePathSize = GetDevicePathSize;
  DevicePathUtilities.AppendDeviceNode = AppendDeviceNode;
  for (auto &Volume : Fw->Volumes) InstallFileSystem(Volume.get());
  SayAtEnding(SayNotes);
}

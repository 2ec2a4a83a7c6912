// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "sim_firmware.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/run.h"
#include "common/firmware_context.h"
#include "common/run_options.h"

SimFirmware *SimFirmware::Current = nullptr;

// What a failed call leaves in a buffer pointer it was handed, when the
// firmware is set to leave one: an address that is no pool buffer.
static UINT8 StaleBuffer[16];

static EFI_STATUS EFIAPI SimAllocatePool(EFI_MEMORY_TYPE, UINTN Size, VOID **Buffer) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::AllocatePool, CALLER, &Status)) {
    if (Sim().StaleOnFailure && EFI_ERROR(Status)) *Buffer = StaleBuffer;
    return Status;
  }
  *Buffer = Sim().Lie == SimLie::NullResult ? nullptr : Sim().Allocate(Size);
  return Sim().Success();
}

static EFI_STATUS EFIAPI SimFreePool(VOID *Buffer) {
  Sim().Record(SimCall::FreePool, CALLER);
  Sim().Release(Buffer);
  return EFI_SUCCESS;
}

static bool SameGuid(const EFI_GUID &A, const EFI_GUID &B) {
  return std::memcmp(&A, &B, sizeof(EFI_GUID)) == 0;
}

static void *FindProtocol(EFI_HANDLE Handle, const EFI_GUID *Guid) {
  for (SimHandle *H : Sim().Handles) {
    if (H != Handle) continue;
    for (auto &[G, Interface] : H->Protocols) {
      if (SameGuid(G, *Guid)) return Interface;
    }
  }
  return nullptr;
}

static EFI_STATUS EFIAPI SimOpenProtocol(EFI_HANDLE Handle, const EFI_GUID *Guid, VOID **Interface,
                                         EFI_HANDLE Agent, EFI_HANDLE, UINT32 Attributes) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::OpenProtocol, CALLER, &Status)) return Status;
  if (Agent != Sim().ImageHandle || Attributes != EFI_OPEN_PROTOCOL_GET_PROTOCOL) {
    return EFI_INVALID_PARAMETER;
  }
  void *Found = FindProtocol(Handle, Guid);
  if (Found == nullptr) return EFI_UNSUPPORTED;
  *Interface = Sim().Lie == SimLie::NullResult ? nullptr : Found;
  return Sim().Success();
}

static EFI_STATUS EFIAPI SimHandleProtocol(EFI_HANDLE Handle, const EFI_GUID *Guid,
                                           VOID **Interface) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::HandleProtocol, CALLER, &Status)) return Status;
  if (Interface == nullptr) return EFI_INVALID_PARAMETER;
  void *Found = FindProtocol(Handle, Guid);
  if (Found == nullptr) return EFI_UNSUPPORTED;
  *Interface = Sim().Lie == SimLie::NullResult ? nullptr : Found;
  return Sim().Success();
}

static EFI_STATUS EFIAPI SimLocateHandleBuffer(EFI_LOCATE_SEARCH_TYPE SearchType,
                                               const EFI_GUID *Guid, VOID *, UINTN *Count,
                                               EFI_HANDLE **Buffer) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::LocateHandleBuffer, CALLER, &Status)) {
    if (Sim().StaleOnFailure && EFI_ERROR(Status)) {
      *Count = sizeof StaleBuffer / sizeof(EFI_HANDLE);
      *Buffer = reinterpret_cast<EFI_HANDLE *>(StaleBuffer);
    }
    return Status;
  }
  if (SearchType != ByProtocol) return EFI_INVALID_PARAMETER;
  std::vector<EFI_HANDLE> Found;
  for (SimHandle *H : Sim().Handles) {
    if (FindProtocol(H, Guid) != nullptr) Found.push_back(H);
  }
  if (Found.empty()) return EFI_NOT_FOUND;
  *Count = Found.size();
  *Buffer = nullptr;
  if (Sim().Lie == SimLie::NullResult) return EFI_SUCCESS;
  auto *Out = static_cast<EFI_HANDLE *>(Sim().Allocate(Found.size() * sizeof(EFI_HANDLE)));
  for (size_t I = 0; I < Found.size(); I++) Out[I] = Found[I];
  *Buffer = Out;
  return Sim().Success();
}

static EFI_STATUS EFIAPI SimLocateProtocol(const EFI_GUID *Guid, VOID *, VOID **Interface) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::LocateProtocol, CALLER, &Status)) return Status;
  for (auto &[G, Found] : Sim().GlobalProtocols) {
    if (SameGuid(G, *Guid)) {
      *Interface = Sim().Lie == SimLie::NullResult ? nullptr : Found;
      return Sim().Success();
    }
  }
  return EFI_NOT_FOUND;
}

static VOID EFIAPI SimCopyMem(VOID *Destination, const VOID *Source, UINTN Length) {
  std::memmove(Destination, Source, Length);  // overlapping copies are allowed
}

static EFI_STATUS EFIAPI SimExit(EFI_HANDLE Image, EFI_STATUS Status, UINTN DataSize,
                                 CHAR16 *Data) {
  if (Image != Sim().ImageHandle || (DataSize != 0) != (Data != nullptr))
    return EFI_INVALID_PARAMETER;
  // The caller of the image (a Shell) takes the data and frees it.
  const UINT8 *Bytes = (const UINT8 *)Data;
  Sim().ExitData.assign(Bytes, Bytes + DataSize);
  if (Data != nullptr) Sim().Release(Data);
  Sim().ExitStatus = Status;
  Sim().End(SimEnding::Exit);
}

static VOID EFIAPI SimResetSystem(EFI_RESET_TYPE Type, EFI_STATUS Status, UINTN DataSize,
                                  VOID *Data) {
  if (DataSize != 0 || Data != nullptr) return;  // data we were not meant to get: no reset
  Sim().ResetType = Type;
  Sim().ExitStatus = Status;
  Sim().End(SimEnding::Shutdown);
}

SimFirmware::SimFirmware(UINT32 StartAttribute) {
  Current = this;
  // Room for what a whole dialogue records, so that a fuzzer's run, a new
  // firmware each, does not regrow them call after call.
  CallLog.reserve(512);
  Transcript.reserve(64);
  Handles.reserve(16);
  ImageHandle = NewHandle();
  Mode.MaxMode = 1;
  Mode.Attribute = (INT32)StartAttribute;
  BootServices.AllocatePool = SimAllocatePool;
  BootServices.FreePool = SimFreePool;
  BootServices.OpenProtocol = SimOpenProtocol;
  BootServices.HandleProtocol = SimHandleProtocol;
  BootServices.LocateHandleBuffer = SimLocateHandleBuffer;
  BootServices.LocateProtocol = SimLocateProtocol;
  BootServices.CopyMem = SimCopyMem;
  BootServices.Exit = SimExit;
  RuntimeServices.ResetSystem = SimResetSystem;
  SystemTable.BootServices = &BootServices;
  SystemTable.RuntimeServices = &RuntimeServices;
  SystemTable.ConIn = &ConIn;
  SystemTable.ConOut = &ConOut;
  InstallSimConsole(*this);
  InstallSimVolumes(*this);
  InstallSimVariables(*this);
  InstallSimImage(*this);
}

SimFirmware::~SimFirmware() {
  for (void *Buffer : Pool) std::free(Buffer);
  for (SimHandle *H : Handles) delete H;
  DropSimVolumes(*this);
  DropSimVariables(*this);
  DropSimImage(*this);
  if (Current == this) Current = nullptr;
}

void SimFirmware::PrepareRun() {
  Current = this;
  Ending = SimEnding::StillRunning;
  InitFirmwareContext(ImageHandle, &SystemTable);  // as the entry point would have
}

SimEnding SimFirmware::Run() {
  return Call([this] {
    // A freshly loaded image: the context is zero until the entry point fills it.
    gFirmware = FirmwareContext{};
    // Returning from the entry point is an exit with the status it returns.
    ExitStatus = EfiMain(ImageHandle, &SystemTable);
  });
}

SimEnding SimFirmware::RunWith(const std::vector<std::u16string> &Words) {
  // The words lie in one pool buffer, as a firmware's reader of its load
  // options leaves them, which the run must free.
  size_t Units = 0;
  for (const std::u16string &Word : Words) Units += Word.size() + 1;
  CHAR16 *Pool = static_cast<CHAR16 *>(Allocate(2 * Units + 2));
  std::vector<const CHAR16 *> Pointers;
  CHAR16 *At = Pool;
  for (const std::u16string &Word : Words) {
    Pointers.push_back(At);
    At = std::copy(Word.begin(), Word.end(), At);
    *At++ = 0;
  }
  return Call([&] {
    gFirmware = FirmwareContext{};
    ExitStatus = RunApplication(ImageHandle, &SystemTable, Pointers.size(), Pointers.data(), Pool,
                                RUN_ACCEPTS_THEN);
  });
}

void SimFirmware::End(SimEnding How) {
  Ending = How;
  std::longjmp(EndOfRun, 1);
}

bool SimFirmware::ShouldFail(SimCall Call, EFI_STATUS *Status) {
  unsigned Nth = ++CallCounts[(size_t)Call];
  Lie = SimLie::Fail;
  if (Faults.empty()) return false;
  // The fault at the Nth call itself, or the latest onward one before it.
  auto Found = Faults.upper_bound({Call, Nth});
  if (Found == Faults.begin()) return false;
  --Found;
  if (Found->first.first != Call || (Found->first.second != Nth && !Found->second.Onward)) {
    return false;
  }
  if (Found->second.How != SimLie::Fail) {
    Lie = Found->second.How;
    LieStatus = Found->second.Status;
    return false;
  }
  *Status = Found->second.Status;
  return true;
}

void *SimFirmware::Allocate(UINTN Size) {
  // The application must write every byte it hands on, and must not read
  // what it has not written: the fill is whatever the test chose.
  void *Buffer = std::malloc(Size == 0 ? 1 : Size);
  std::memset(Buffer, PoolFill, Size);
  Pool.push_back(Buffer);
  return Buffer;
}

// Plain lists, not sets: a run may hand out and take back hundreds of
// buffers, and a tree node for each cost more than the buffer. Few are live
// at once. An address stays in Freed when malloc hands it out again, which
// changes no verdict: while it is live again, Pool holds it.
void SimFirmware::Release(void *Buffer) {
  auto Live = std::find(Pool.begin(), Pool.end(), Buffer);
  if (Live == Pool.end()) {
    bool Twice = std::find(Freed.begin(), Freed.end(), Buffer) != Freed.end();
    char Line[96];
    std::snprintf(Line, sizeof Line, "%s of %p",
                  Twice ? "double free" : "free of a buffer not from the pool", Buffer);
    PoolErrors.push_back(Line);
    return;
  }
  *Live = Pool.back();
  Pool.pop_back();
  Freed.push_back(Buffer);
  std::free(Buffer);
}

EFI_HANDLE SimFirmware::NewHandle() {
  Handles.push_back(new SimHandle);
  Handles.back()->Protocols.reserve(4);  // a volume's, the most any handle carries
  return Handles.back();
}

void SimFirmware::Install(EFI_HANDLE Handle, const EFI_GUID &Guid, void *Interface) {
  static_cast<SimHandle *>(Handle)->Protocols.push_back({Guid, Interface});
}

void SimFirmware::InstallGlobal(const EFI_GUID &Guid, void *Interface) {
  GlobalProtocols.push_back({Guid, Interface});
}

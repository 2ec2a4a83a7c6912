// SPDX-License-Identifier: BSD-2-Clause-Patent
// The variable store of the simulated firmware: size reporting as every UEFI
// firmware does it, the append flag as U-Boot implements it (no
// append to a variable that does not exist), and no change of attributes
// on an existing variable, as EDK2 enforces.
#include <algorithm>
#include <cstring>

#include "sim_firmware.h"

// One store per firmware; the constructor empties it for a new one.
static std::map<const SimFirmware *, SimVariableStore> Stores;

SimVariableStore &VariablesOf(SimFirmware &Fw) { return Stores[&Fw]; }

static std::pair<std::u16string, std::string> KeyOf(const std::u16string &Name,
                                                    const EFI_GUID &Vendor) {
  return {Name, std::string(reinterpret_cast<const char *>(&Vendor), sizeof Vendor)};
}

void SimVariableStore::Put(const std::u16string &Name, UINT32 Attributes,
                           const std::vector<UINT8> &Data, const EFI_GUID &Vendor) {
  Entries[KeyOf(Name, Vendor)] = {Attributes, Data};
}

static SimVariableKeyOrder::View ViewOf(std::u16string_view Name, const EFI_GUID &Vendor) {
  return {Name, std::string_view(reinterpret_cast<const char *>(&Vendor), sizeof Vendor)};
}

const SimVariable *SimVariableStore::Find(std::u16string_view Name, const EFI_GUID &Vendor) const {
  auto It = Entries.find(ViewOf(Name, Vendor));
  return It == Entries.end() ? nullptr : &It->second;
}

std::vector<UINT8> OptionNumberBytes(const std::vector<UINT16> &Numbers) {
  std::vector<UINT8> Bytes;
  Bytes.reserve(2 * Numbers.size());
  for (UINT16 N : Numbers) {
    Bytes.push_back((UINT8)(N & 0xFF));
    Bytes.push_back((UINT8)(N >> 8));
  }
  return Bytes;
}

// The store's answer, with the size lies told.
static EFI_STATUS ReadFromStore(SimFirmware &S, const SimVariable *Found, UINT32 *Attributes,
                                UINTN *DataSize, VOID *Data) {
  if (Found == nullptr) return EFI_NOT_FOUND;
  if (*DataSize < Found->Data.size() || S.Lie == SimLie::TooSmallStuck) {
    if (S.Lie != SimLie::TooSmallStuck) *DataSize = Found->Data.size();
    return EFI_BUFFER_TOO_SMALL;
  }
  if (Data == nullptr) return EFI_INVALID_PARAMETER;
  if (!Found->Data.empty()) std::memcpy(Data, Found->Data.data(), Found->Data.size());
  UINTN Given = *DataSize;
  *DataSize = Found->Data.size();
  if (S.Lie == SimLie::SizeLarger) *DataSize = Given + 2;
  if (S.Lie == SimLie::SizeSmaller) *DataSize -= std::min<UINTN>(*DataSize, 2);
  if (Attributes != nullptr) *Attributes = Found->Attributes;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI SimGetVariable(const CHAR16 *Name, const EFI_GUID *Vendor,
                                        UINT32 *Attributes, UINTN *DataSize, VOID *Data) {
  SimFirmware &S = Sim();
  SimVariableStore &Vars = VariablesOf(S);
  S.Record(SimCall::GetVariable, CALLER);
  if (Name == nullptr || Vendor == nullptr || DataSize == nullptr) return EFI_INVALID_PARAMETER;
  Vars.Reads.push_back({Name, *DataSize});
  if (Vars.BeforeRead) Vars.BeforeRead();
  EFI_STATUS Status;
  if (S.ShouldFail(SimCall::GetVariable, &Status)) return Status;
  Status = ReadFromStore(S, Vars.Find(Name, *Vendor), Attributes, DataSize, Data);
  // A warning stands in for whatever the read answered, "not found" too.
  return S.Lie == SimLie::Warning ? S.LieStatus : Status;
}

static EFI_STATUS EFIAPI SimSetVariable(const CHAR16 *Name, const EFI_GUID *Vendor,
                                        UINT32 Attributes, UINTN DataSize, const VOID *Data) {
  SimFirmware &S = Sim();
  SimVariableStore &Vars = VariablesOf(S);
  S.Record(SimCall::SetVariable, CALLER);
  if (Name == nullptr || Name[0] == 0 || Vendor == nullptr || (DataSize != 0 && Data == nullptr)) {
    return EFI_INVALID_PARAMETER;
  }
  const UINT8 *Bytes = static_cast<const UINT8 *>(Data);
  std::vector<UINT8> NewData(Bytes, Bytes + DataSize);
  Vars.Writes.push_back({Name, Attributes, NewData});
  EFI_STATUS Status;
  if (S.ShouldFail(SimCall::SetVariable, &Status)) return Status;

  auto It = Vars.Entries.find(ViewOf(Name, *Vendor));
  bool Exists = It != Vars.Entries.end();
  UINT32 Kept = Attributes & ~EFI_VARIABLE_APPEND_WRITE;
  bool Append = (Attributes & EFI_VARIABLE_APPEND_WRITE) != 0;
  if (!Append && (DataSize == 0 || Kept == 0)) {  // a plain write of nothing deletes
    if (!Exists) return EFI_NOT_FOUND;
    Vars.Entries.erase(It);
    return S.Success();
  }
  if (Exists && It->second.Attributes != Kept) return EFI_INVALID_PARAMETER;
  if (Append) {
    if (!Exists) return EFI_NOT_FOUND;
    It->second.Data.insert(It->second.Data.end(), NewData.begin(), NewData.end());
    return S.Success();
  }
  Vars.Put(Name, Kept, NewData, *Vendor);
  return S.Success();
}

void InstallSimVariables(SimFirmware &Sim) {
  Stores[&Sim] = SimVariableStore();
  Sim.RuntimeServices.GetVariable = SimGetVariable;
  Sim.RuntimeServices.SetVariable = SimSetVariable;
}

void DropSimVariables(const SimFirmware &Sim) { Stores.erase(&Sim); }

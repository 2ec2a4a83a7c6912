// SPDX-License-Identifier: BSD-2-Clause-Patent
// The whole dialogue on a simulated firmware that the input describes: its
// volumes and block devices with their device paths (malformed ones among
// the block devices), texts that come back NULL, BootOrder, existing
// Boot#### variables, the pool's fill and one failing call (which may leave
// a stale output pointer); the rest of the input is typed.
// Every run must end at the closing prompt with EFI_SUCCESS, hold no pool
// buffer, free nothing twice, leave no file open, and change variables only
// after the user pressed Y or y at the confirmation, never overwriting a
// Boot#### that existed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "loadoption/device_path_walk.h"
#include "sim_firmware.h"

// Enter answers every question, ends every line and the closing prompt, so
// this many after the input's own keys end any run; one that needs more
// never ends for a real user either.
#define ENTER_KEYS 32

struct Input {
  const UINT8 *Data;
  size_t Size;
  size_t At;
  UINT8 Byte() { return At < Size ? Data[At++] : 0; }
};

static SimPath NodeFrom(Input &In) {
  switch (In.Byte() % 5) {
    case 0: return PciRootNode(In.Byte());
    case 1: return PciNode(In.Byte(), In.Byte());
    case 2: return HardDriveNode(In.Byte(), 0x800, 0x1000);
    case 3: return EndInstanceNode();
  }
  UINT8 Type = In.Byte();
  UINT8 SubType = In.Byte();
  UINT8 DataBytes = In.Byte() % 8;
  SimPath Node = {Type, SubType, (UINT8)(4 + DataBytes), 0};
  for (UINT8 I = 0; I < DataBytes; I++) Node.push_back(In.Byte());
  return Node;
}

// Empty: no Device Path protocol.
static SimPath PathFrom(Input &In, UINT8 Form) {
  if (Form % 8 == 0) return {};
  SimPath Path;
  Path.reserve(256);  // four hard-drive nodes and the end: no regrowth
  for (int Nodes = (Form >> 3) % 5; Nodes > 0; Nodes--) {
    SimPath Node = NodeFrom(In);
    Path.insert(Path.end(), Node.begin(), Node.end());
  }
  SimPath End = EndNode();
  Path.insert(Path.end(), End.begin(), End.end());
  return Path;
}

#define BLOCK_DEVICES_MAX 4

// Malformed bytes are followed by zeros up to the bound that the partition
// filter walks within, so that a read past that bound, and only such a read,
// leaves the buffer. Each block device has its buffer, made once and cleared
// for every run: a fresh 64 KiB per path, zero-filled and then held in ASan's
// quarantine, was the largest allocation of a run.
static const UINT8 *MalformedPathFrom(Input &In, int Device) {
  static_assert(FIRMWARE_DEVICE_PATH_MAX_BYTES >= SimPathMaxBytes, "sim reads within");
  static UINT8 *Buffers[BLOCK_DEVICES_MAX];
  UINT8 *&Path = Buffers[Device];
  if (Path == nullptr) Path = new UINT8[FIRMWARE_DEVICE_PATH_MAX_BYTES];
  std::memset(Path, 0, FIRMWARE_DEVICE_PATH_MAX_BYTES);
  UINT8 Count = In.Byte() % 48;
  for (UINT8 I = 0; I < Count; I++) Path[I] = In.Byte();
  return Path;
}

static std::u16string Text(char Kind, int Number) {
  return {(char16_t)Kind, (char16_t)(u'0' + Number)};
}

static void BuildFirmware(SimFirmware &Fw, Input &In) {
  int Volumes = In.Byte() % 5;
  for (int I = 0; I < Volumes; I++) {
    SimPath Path = PathFrom(In, In.Byte());
    std::set<std::u16string> Files;
    if (In.Byte() & 1) Files.insert(u"a");
    AddVolume(Fw, std::move(Path), Text('V', I), Files);
  }
  int BlockDevices = In.Byte() % (BLOCK_DEVICES_MAX + 1);
  for (int I = 0; I < BlockDevices; I++) {
    UINT8 Form = In.Byte();
    if (Form % 8 == 1) {
      AddBlockDevice(Fw, MalformedPathFrom(In, I), Text('B', I));
    } else {
      AddBlockDevice(Fw, PathFrom(In, Form), Text('B', I));
    }
  }
  UINT8 NullTexts = In.Byte();
  for (unsigned Nth = 1; Nth <= 8; Nth++) {
    if (NullTexts & (1 << (Nth - 1))) Fw.FailCall(SimCall::ConvertDevicePathToText, Nth, 0);
  }

  SimVariableStore &Vars = VariablesOf(Fw);
  UINT8 Order = In.Byte();
  // The pool's fill and what a failed call leaves in its output pointer are
  // the firmware's business too.
  Fw.PoolFill = (Order & 8) ? 0x00 : 0xAF;
  Fw.StaleOnFailure = (Order & 16) != 0;
  if (Order & 1) {
    // Evenly spaced numbers (a step of 0 repeats one), cut to any byte size.
    size_t Size = In.Byte() | ((Order & 2) ? 0x100 : 0);
    UINT16 First = In.Byte();
    UINT16 Step = In.Byte() % 4;
    std::vector<UINT16> Numbers;
    Numbers.reserve((Size + 1) / 2);
    for (size_t I = 0; I < (Size + 1) / 2; I++) Numbers.push_back((UINT16)(First + I * Step));
    std::vector<UINT8> Bytes = OptionNumberBytes(Numbers);
    Bytes.resize(Size);
    Vars.Put(u"BootOrder", (Order & 4) ? 3 : 7, Bytes);
  }
  for (int Options = In.Byte() % 4; Options > 0; Options--) {
    char Name[9];
    std::snprintf(Name, sizeof Name, "Boot%04X", In.Byte());
    std::vector<UINT8> Data(1 + In.Byte() % 8);
    for (UINT8 &Byte : Data) Byte = In.Byte();
    Vars.Put(std::u16string(Name, Name + 8), 7, Data);
  }

  static const EFI_STATUS Statuses[] = {EFI_DEVICE_ERROR, EFI_NOT_FOUND, EFI_BUFFER_TOO_SMALL,
                                        EFI_OUT_OF_RESOURCES, EFI_WARN_UNKNOWN_GLYPH};
  UINT8 Fault = In.Byte() % 32;
  unsigned Nth = 1 + In.Byte() % 8;
  EFI_STATUS Status = Statuses[In.Byte() % 5];
  // A variable said to be absent when it exists is a lie about the store,
  // not a failure: the application rightly believes it.
  if (Fault == (UINT8)SimCall::GetVariable && Status == EFI_NOT_FOUND) Status = EFI_DEVICE_ERROR;
  if (Fault < (UINT8)SimCall::Count) Fw.FailCall((SimCall)Fault, Nth, Status);
  // Narrow screens make typed text wrap, so that backspace meets column 0.
  UINT8 Columns = In.Byte();
  if (Columns != 0) Fw.Columns = 8 + Columns % 73;
}

// What the store looked like and which key answered the confirmation, seen
// from the first SetVariable: the last key read, provided the question was
// the last thing on the screen.
struct FirstWrite {
  bool Made = false;
  bool AfterQuestion = false;
  CHAR16 Key = 0;
  SimVariableMap Before;
};
static FirstWrite First;
static EFI_SET_VARIABLE StoreSetVariable;

static EFI_STATUS EFIAPI WatchSetVariable(const CHAR16 *Name, const EFI_GUID *Vendor,
                                          UINT32 Attributes, UINTN DataSize, const VOID *Data) {
  SimFirmware &Fw = *SimFirmware::Current;
  if (!First.Made) {
    First.Made = true;
    const std::u16string Question = u"Type \"y\" for \"yes\"\r\n";
    const std::u16string &Last = Fw.Transcript.back().Text;
    First.AfterQuestion =
        Last.size() >= Question.size() &&
        Last.compare(Last.size() - Question.size(), Question.size(), Question) == 0;
    First.Key = Fw.NextKey > 0 ? Fw.Keys[Fw.NextKey - 1].UnicodeChar : 0;
    First.Before = VariablesOf(Fw).Entries;
  }
  return StoreSetVariable(Name, Vendor, Attributes, DataSize, Data);
}

static void Check(bool Holds) {
  if (!Holds) std::abort();
}

static bool IsOptionName(const std::u16string &Name) {
  if (Name.size() != 8 || Name.compare(0, 4, u"Boot") != 0) return false;
  for (size_t I = 4; I < 8; I++) {
    CHAR16 C = Name[I];
    if (!((C >= u'0' && C <= u'9') || (C >= u'A' && C <= u'F'))) return false;
  }
  return true;
}

// Only Y or y at the confirmation may change the store, and then only by a
// new Boot#### and the BootOrder write: every variable that existed stays
// byte for byte, except BootOrder, which can only grow by one number.
// A run that never called SetVariable, the only way into the store, left it
// as it was.
static void CheckStore(const SimVariableMap &After) {
  if (!First.Made) return;
  const SimVariableMap &Before = First.Before;
  Check(First.AfterQuestion && (First.Key == u'Y' || First.Key == u'y'));
  size_t New = 0;
  for (const auto &[Key, Variable] : After) {
    auto Old = Before.find(Key);
    if (Old == Before.end()) {
      New += Key.first != u"BootOrder";
      Check(Key.first == u"BootOrder" || IsOptionName(Key.first));
    } else if (Key.first == u"BootOrder") {
      std::vector<UINT8> Grown = Variable.Data;
      Check(Grown.size() == Old->second.Data.size() || Grown.size() == Old->second.Data.size() + 2);
      Grown.resize(Old->second.Data.size());
      Check(Grown == Old->second.Data && Variable.Attributes == Old->second.Attributes);
    } else {
      Check(Variable == Old->second);
    }
  }
  Check(New <= 1);
  for (const auto &Entry : Before) Check(After.count(Entry.first) == 1);
}

extern "C" int LLVMFuzzerTestOneInput(const UINT8 *Data, size_t Size) {
  Input In = {Data, Size, 0};
  SimFirmware Fw;
  Fw.KeepsCells = false;  // nothing here looks at the screen's cells
  BuildFirmware(Fw, In);
  Fw.Keys.reserve(Size - In.At + ENTER_KEYS);
  for (size_t I = In.At; I < Size; I++) Fw.Keys.push_back({0, Data[I]});
  for (int I = 0; I < ENTER_KEYS; I++) Fw.Keys.push_back({0, u'\r'});
  First = FirstWrite();
  StoreSetVariable = Fw.RuntimeServices.SetVariable;
  Fw.RuntimeServices.SetVariable = WatchSetVariable;

  SimEnding Ending = Fw.Run();
  // To see the session of an input: FUZZ_SHOW_SCREEN=1 fuzz_dialogue <file>
  static const bool ShowScreen = std::getenv("FUZZ_SHOW_SCREEN") != nullptr;
  if (ShowScreen) std::fprintf(stderr, "%s\n", Fw.Screen().c_str());
  Check(Ending == SimEnding::Exit ||
        (Ending == SimEnding::Shutdown && Fw.ResetType == EfiResetShutdown));
  Check(Fw.ExitStatus == EFI_SUCCESS);
  Check(Fw.LiveBuffers() == 0 && Fw.PoolErrors.empty());
  Check(OpenFileCount(Fw) == 0);
  CheckStore(VariablesOf(Fw).Entries);
  return 0;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// A small simulated UEFI firmware for host tests: the tables the application
// calls, a scripted keyboard, a console that records (colour, text) runs and
// shows a screen of cells, a pool that catches leaks and double frees, a
// handle database, and a way to make the Nth call of any service fail.
#pragma once
#include <csetjmp>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "efi.h"

enum class SimCall {
  AllocatePool,
  FreePool,
  WaitForEvent,
  ReadKeyStroke,
  OpenProtocol,
  LocateHandleBuffer,
  LocateProtocol,
  QueryMode,
  OpenVolume,
  FileOpen,
  ConvertDevicePathToText,
  AppendDeviceNode,
  GetDevicePathSize,
  GetVariable,
  SetVariable,
  ClearScreen,
  EnableCursor,
  HandleProtocol,
  FileRead,
  Count
};

// How a faulted call misbehaves. All but Fail do the call's work first.
enum class SimLie {
  Fail,           // answers the fault's status, and does nothing
  SizeLarger,     // success, with a size above the one written (and above the buffer's)
  SizeSmaller,    // success, with a size below the one written
  TooSmallStuck,  // EFI_BUFFER_TOO_SMALL, asking for no more than the buffer holds
  NullResult,     // success, with a NULL result (a count with no buffer)
  Warning,        // answers the fault's status, a warning
};

// Stuck: the run made more firmware calls than any dialogue needs, the sign
// of a loop that would never end on a real machine.
enum class SimEnding { StillRunning, Exit, Shutdown, Returned, KeysRanOut, Stuck };

struct SimCell {
  CHAR16 Char;
  UINT32 Attribute;
};

struct ColourRun {
  UINT32 Attribute;
  std::u16string Text;
};

struct SimCallRecord {
  SimCall Call;
  void *CallSite;  // return address in the application
};

struct SimHandle {
  std::vector<std::pair<EFI_GUID, void *>> Protocols;
};

class SimFirmware {
 public:
  explicit SimFirmware(UINT32 StartAttribute = 0x07);
  ~SimFirmware();
  SimFirmware(const SimFirmware &) = delete;
  SimFirmware &operator=(const SimFirmware &) = delete;

  // Keys, in the order the user presses them. Plain characters only. Each
  // arrives when the application waits for a key, not before.
  void Type(const std::string &Keys);
  void PressScanKey(UINT16 ScanCode);  // a key with no character (cursor, Esc)
  // Keys typed ahead: these, and every key before them, are already waiting
  // and can be read without a wait.
  void TypeAhead(const std::string &Keys);
  // Keys pressed the moment output containing Shown appears: waiting from then.
  void TypeWhenShown(const std::u16string &Shown, const std::string &Keys);

  // Runs the application's entry point until it ends; returns how it ended.
  SimEnding Run();
  // The same with option words, as the firmware application takes them,
  // handed over in one pool buffer.
  SimEnding RunWith(const std::vector<std::u16string> &Words);
  // Runs any piece of application code with the firmware context set up.
  template <typename Fn>
  SimEnding Call(Fn Body);

  // The console as the user saw it: "{NORMAL}text{HIGHLIGHT}1F..." with a
  // role name (or two hex digits) at every colour change.
  std::string Screen() const;
  std::vector<ColourRun> Transcript;
  SIMPLE_TEXT_OUTPUT_MODE Mode{};
  UINTN Columns = 80;
  UINTN Rows = 25;
  // The screen itself, Columns x Rows cells; text wraps at the last column
  // and the screen scrolls at the bottom row, as EDK2's consoles do. A line
  // is its characters up to the last one that is not a space.
  std::string ShownLine(UINTN Row) const;
  SimCell CellAt(UINTN Column, UINTN Row) const;
  std::vector<SimCell> Cells;  // sized at the first output; row TopRow first
  // Off, no cell is kept and Cells stays empty; the cursor moves all the same.
  // For a fuzzer, which looks at no cell and runs thousands of screens a second.
  bool KeepsCells = true;
  UINTN TopRow = 0;
  unsigned WaitsWithCursorHidden = 0;
  std::vector<UINT32> AttributeAtWaits;  // the console attribute at each key wait

  // Faults: the Nth call (1-based) of Call, or with FailFrom every call from
  // the Nth on, misbehaves as How says; Fail answers Status (services that
  // fail by returning NULL or 0 do so for any Status).
  void FailCall(SimCall Call, unsigned Nth, EFI_STATUS Status, SimLie How = SimLie::Fail) {
    Faults[{Call, Nth}] = {Status, How, false};
  }
  void FailFrom(SimCall Call, unsigned Nth, EFI_STATUS Status, SimLie How = SimLie::Fail) {
    Faults[{Call, Nth}] = {Status, How, true};
  }
  // TRUE when the call fails outright; a lie is left in Lie for the service.
  bool ShouldFail(SimCall Call, EFI_STATUS *Status);
  SimLie Lie = SimLie::Fail;  // of the call being answered; Fail: no lie
  EFI_STATUS LieStatus = EFI_SUCCESS;
  // EFI_SUCCESS, or the warning the call is to answer after doing its work.
  EFI_STATUS Success() const { return Lie == SimLie::Warning ? LieStatus : EFI_SUCCESS; }
  void Record(SimCall Call, void *CallSite) {
    CallLog.push_back({Call, CallSite});
    if (CallLog.size() > MaxCalls) End(SimEnding::Stuck);
  }
  // Far above the longest road (a probe of every one of 65,536 numbers).
  static constexpr size_t MaxCalls = 1u << 18;
  // A service's first words: logs the call, then answers whether it fails.
  bool Fails(SimCall Call, void *CallSite, EFI_STATUS *Status) {
    Record(Call, CallSite);
    return ShouldFail(Call, Status);
  }
  std::vector<SimCallRecord> CallLog;
  // UEFI does not say what a failed AllocatePool or LocateHandleBuffer leaves
  // in its output: set, they leave an address that is no pool buffer. Not
  // after a warning: the output then is what the call handed out.
  bool StaleOnFailure = false;

  // Pool
  void *Allocate(UINTN Size);
  void Release(void *Buffer);  // records a double or foreign free
  size_t LiveBuffers() const { return Pool.size(); }
  UINT8 PoolFill = 0xAF;  // every byte of a new buffer
  std::vector<std::string> PoolErrors;

  // Handles and protocols
  EFI_HANDLE NewHandle();
  void Install(EFI_HANDLE Handle, const EFI_GUID &Guid, void *Interface);
  void InstallGlobal(const EFI_GUID &Guid, void *Interface);  // for LocateProtocol
  std::vector<SimHandle *> Handles;
  std::vector<std::pair<EFI_GUID, void *>> GlobalProtocols;

  // How the run ended
  SimEnding Ending = SimEnding::StillRunning;
  EFI_STATUS ExitStatus = ~0ULL;  // given to Exit or ResetSystem, or returned by the entry point
  EFI_RESET_TYPE ResetType = EfiResetCold;
  std::vector<UINT8> ExitData;  // as Exit handed it over

  EFI_HANDLE ImageHandle;
  EFI_SYSTEM_TABLE SystemTable{};
  EFI_BOOT_SERVICES BootServices{};
  EFI_RUNTIME_SERVICES RuntimeServices{};
  EFI_SIMPLE_TEXT_INPUT_PROTOCOL ConIn{};
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL ConOut{};
  std::vector<EFI_INPUT_KEY> Keys;
  size_t NextKey = 0;
  size_t KeysArrived = 0;      // Keys[NextKey .. KeysArrived) wait to be read
  std::u16string ArrivalText;  // see TypeWhenShown
  size_t ArrivalKeys = 0;

  [[noreturn]] void End(SimEnding How);
  static SimFirmware *Current;

 private:
  void PrepareRun();
  std::jmp_buf EndOfRun;
  std::vector<void *> Pool;   // live buffers
  std::vector<void *> Freed;  // every buffer freed so far
  struct Fault {
    EFI_STATUS Status;
    SimLie How;
    bool Onward;  // every call from the Nth on
  };
  std::map<std::pair<SimCall, unsigned>, Fault> Faults;
  unsigned CallCounts[(size_t)SimCall::Count] = {};
};

// For the services: the running firmware, and the return address of the
// service's caller, which tells the application's call sites apart.
inline SimFirmware &Sim() { return *SimFirmware::Current; }
#define CALLER __builtin_return_address(0)

// Installed by the constructor; each lives in its own file. The destructor
// drops the stores, so that a run leaves no allocation behind (a fuzzer
// looks for leaks after every input whose allocations do not balance).
void InstallSimConsole(SimFirmware &Sim);
void InstallSimVolumes(SimFirmware &Sim);    // sim_volumes.cpp
void InstallSimVariables(SimFirmware &Sim);  // sim_variables.cpp
void InstallSimImage(SimFirmware &Sim);      // sim_image.cpp
void DropSimVolumes(const SimFirmware &Sim);
void DropSimVariables(const SimFirmware &Sim);
void DropSimImage(const SimFirmware &Sim);

template <typename Fn>
SimEnding SimFirmware::Call(Fn Body) {
  PrepareRun();
  if (setjmp(EndOfRun) == 0) {
    Body();
    Ending = SimEnding::Returned;
  }
  return Ending;
}

// ---- Variable store (sim_variables.cpp)

struct SimVariable {
  UINT32 Attributes;
  std::vector<UINT8> Data;
  bool operator==(const SimVariable &Other) const {
    return Attributes == Other.Attributes && Data == Other.Data;
  }
};
// Keyed by name and the 16 bytes of the vendor GUID, in that order; looked
// up through views, without copying either (a run may read hundreds).
struct SimVariableKeyOrder {
  using is_transparent = void;
  typedef std::pair<std::u16string_view, std::string_view> View;
  static View Of(const std::pair<std::u16string, std::string> &Key) {
    return {Key.first, Key.second};
  }
  static View Of(const View &Key) { return Key; }
  template <typename Left, typename Right>
  bool operator()(const Left &L, const Right &R) const {
    return Of(L) < Of(R);
  }
};
typedef std::map<std::pair<std::u16string, std::string>, SimVariable, SimVariableKeyOrder>
    SimVariableMap;

struct SimVariableRead {
  std::u16string Name;
  UINTN DataSize;  // as the application handed it in
};
struct SimVariableWrite {
  std::u16string Name;
  UINT32 Attributes;
  std::vector<UINT8> Data;
};

struct SimVariableStore {
  SimVariableMap Entries;                // copy it to compare "unchanged" later
  std::vector<SimVariableRead> Reads;    // every GetVariable, failed ones too
  std::vector<SimVariableWrite> Writes;  // every SetVariable, failed ones too
  // Runs at the start of every GetVariable: lets a test change the store
  // between two reads, as another agent of the firmware might.
  std::function<void()> BeforeRead;

  void Put(const std::u16string &Name, UINT32 Attributes, const std::vector<UINT8> &Data,
           const EFI_GUID &Vendor = EFI_GLOBAL_VARIABLE_GUID);
  const SimVariable *Find(std::u16string_view Name,
                          const EFI_GUID &Vendor = EFI_GLOBAL_VARIABLE_GUID) const;
};

SimVariableStore &VariablesOf(SimFirmware &Fw);
// Option numbers as BootOrder holds them: little-endian UINT16 each.
std::vector<UINT8> OptionNumberBytes(const std::vector<UINT16> &Numbers);

// ---- Volumes, block devices and device paths (sim_volumes.cpp)

// Device path bytes made of real nodes; join nodes with +.
typedef std::vector<UINT8> SimPath;
// No device path that the simulated firmware hands out runs longer.
const size_t SimPathMaxBytes = 0x10000;
SimPath PciRootNode(UINT32 Uid);
SimPath PciNode(UINT8 Device, UINT8 Function);
SimPath HardDriveNode(UINT32 Partition, UINT64 StartLba, UINT64 SizeLba);  // GPT, GUID signature
SimPath FilePathNode(const std::u16string &Name);
SimPath EndInstanceNode();
SimPath EndNode();
SimPath operator+(SimPath Left, const SimPath &Right);

// A volume that the firmware reads: Simple File System and Block I/O, and,
// unless Path is empty, a Device Path whose text is Text. Open finds exactly
// the names in Files (relative to the root); OpenVolume and Open fail through
// SimCall::OpenVolume and SimCall::FileOpen, the text through
// SimCall::ConvertDevicePathToText.
EFI_HANDLE AddVolume(SimFirmware &Fw, SimPath Path, const std::u16string &Text,
                     const std::set<std::u16string> &Files = {});
// One more file on a volume that AddVolume made.
void AddFile(SimFirmware &Fw, EFI_HANDLE Volume, const std::u16string &Name);
// Marks a handle as an EFI System Partition's, as firmware does.
void MarkSystemPartition(SimFirmware &Fw, EFI_HANDLE Handle);
// A block device that carries no file system the firmware reads.
EFI_HANDLE AddBlockDevice(SimFirmware &Fw, SimPath Path, const std::u16string &Text);
// The same, with Device Path bytes that the caller keeps for as long as the
// firmware lives: a fuzzer hands every run the same large buffers.
EFI_HANDLE AddBlockDevice(SimFirmware &Fw, const UINT8 *KeptPath, const std::u16string &Text);
// Root directories and files the application opened and has not closed.
size_t OpenFileCount(SimFirmware &Fw);

// ---- The application's own image and its files (sim_image.cpp)

// The image handle carries a Loaded Image protocol, as on every firmware:
// by default with no load options, no device handle (an image that did not
// come from a file system) and the path \EFI\BOOT\BOOTAA64.EFI.
EFI_LOADED_IMAGE_PROTOCOL &LoadedImageOf(SimFirmware &Fw);
// Load options of these bytes, kept by the firmware; empty: none (NULL, 0).
void SetLoadOptions(SimFirmware &Fw, const std::vector<UINT8> &Bytes);
// The bytes of a UCS-2 text, with its NUL unless told otherwise.
std::vector<UINT8> Ucs2Bytes(const std::u16string &Text, bool WithNul = true);
// Started from File (a device path of the file, relative to Device's volume).
void SetImageFile(SimFirmware &Fw, EFI_HANDLE Device, SimPath File);
// What Read gives for Name on the volume of Handle (a name AddVolume listed);
// a listed file without contents reads as empty. Read fails through
// SimCall::FileRead, or lies with SimLie::SizeLarger.
void PutFileContents(SimFirmware &Fw, EFI_HANDLE Volume, const std::u16string &Name,
                     const std::string &Bytes);
// For sim_volumes.cpp: a file of Volume opened under Name.
void OpenedSimFile(EFI_FILE_PROTOCOL *File, const EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *Volume,
                   const CHAR16 *Name);

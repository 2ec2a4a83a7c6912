// SPDX-License-Identifier: BSD-2-Clause-Patent
// The failure sweep: on each main road of the dialogue, every firmware call
// that can fail, found by running the road, is made to fail once, in a run of
// its own, and the run must show that call's report, reach the closing
// prompt, exit with EFI_SUCCESS, free every pool buffer exactly once (and
// nothing that a failed call left in a buffer pointer), close every file and
// change no variable that the user has not confirmed. Runs with options take
// the same roads without a key: each must end by Exit with its report and the
// failed call's status (a refusal's when the fault hides what the options
// name), with no closing prompt and no write the options did not ask for. The same calls then
// lie: success with a NULL result, a warning after doing the work (or, from
// an allocation, with nothing written), sizes above or below the truth, a
// "too small" that asks for no more, and a failure of every call from that
// one on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "console/colours.h"
#include "session.h"

// What the failure of one call must lead to.
enum class Outcome {
  Report,        // its report, then the closing prompt
  NoPartition,   // the per-handle line, then the report of an empty partition list
  ListLine,      // the per-handle line; the listing and the dialogue go on to the new entry
  EntryMissing,  // the handle's entry is left out; the dialogue goes on to the new entry
  Warned,        // the volume counts as no ESP: the warning, then on to the new entry
  Unnoticed,     // the key is waited for again: the same session
  NoErase,       // the erase on the row above is left out, and nothing else changes
  Refused,       // with options: what they name is not found, the refusal, no write
};

// One failable call as the road meets it, and how it fails.
struct Role {
  SimCall Call;
  EFI_STATUS Status;  // ignored by the calls that fail with NULL or 0
  Outcome Then;
  const char *Report = "";  // the status digits follow a report that ends in "S: "
};

static const Role SfsLocate = {SimCall::LocateHandleBuffer, EFI_NOT_FOUND, Outcome::Report,
                               "E: locating handles with SFSP, S: "};
static const Role DpttpLocate = {SimCall::LocateProtocol, EFI_NOT_FOUND, Outcome::Report,
                                 "E: locating DPTTP, S: "};
static const Role ListOpen = {SimCall::OpenProtocol, EFI_UNSUPPORTED, Outcome::ListLine};
static const Role SoleListOpen = {SimCall::OpenProtocol, EFI_UNSUPPORTED, Outcome::NoPartition,
                                  "E: you chose non-FAT volume, but there is no such. Make sure "
                                  "you have one.\r\n"};
static const Role ListText = {SimCall::ConvertDevicePathToText, 0, Outcome::EntryMissing};
static const Role HomeOpen = {SimCall::OpenProtocol, EFI_DEVICE_ERROR, Outcome::Report,
                              "E: on opening Device Path on homevolh, S: "};
static const Role BiopLocate = {SimCall::LocateHandleBuffer, EFI_NOT_FOUND, Outcome::Report,
                                "E: locating handles with BIOP, S: "};
static const Role BootOpen = {SimCall::OpenProtocol, EFI_DEVICE_ERROR, Outcome::Report,
                              "E: on opening Device Path on bootvolh, S: "};
static const Role QueryMode = {SimCall::QueryMode, EFI_UNSUPPORTED, Outcome::NoErase};
// A warning is a failure too.
static const Role DpupLocate = {SimCall::LocateProtocol, EFI_WARN_UNKNOWN_GLYPH, Outcome::Report,
                                "E: locating DPUP, S: "};
static const Role SfspOpen = {SimCall::OpenProtocol, EFI_UNSUPPORTED, Outcome::Report,
                              "E: Failed to open SFSP on the homevolh, S: "};
static const Role OpenVolume = {SimCall::OpenVolume, EFI_VOLUME_CORRUPTED, Outcome::Report,
                                "E: Failed to OpenVolume on the Home Volume, S: "};
static const Role FileOpen = {SimCall::FileOpen, EFI_DEVICE_ERROR, Outcome::Report,
                              "E: Open file error, S: "};
static const Role HomeAppend = {SimCall::AppendDeviceNode, 0, Outcome::Report,
                                "E: fail on appending FilePathNode to the Home Volume path.\r\n"};
static const Role HomeSize = {SimCall::GetDevicePathSize, 0, Outcome::Report,
                              "E: on getting device path size for homevoldpfull.\r\n"};
static const Role BootAppend = {SimCall::AppendDeviceNode, 0, Outcome::Report,
                                "E: fail on appending FilePathNode to the Boot Volume path.\r\n"};
static const Role BootSize = {SimCall::GetDevicePathSize, 0, Outcome::Report,
                              "E: on getting device path size for bootvoldpfull\r\n"};
static const Role OptionAlloc = {SimCall::AllocatePool, EFI_OUT_OF_RESOURCES, Outcome::Report,
                                 "E: allocating for LoadOption, S: "};
static const Role OrderAlloc = {SimCall::AllocatePool, EFI_OUT_OF_RESOURCES, Outcome::Report,
                                "E: fail on allocating BootOrder array, S: "};
static const Role OrderRead = {SimCall::GetVariable, EFI_DEVICE_ERROR, Outcome::Report,
                               "E: fail on getting BootOrder variable, S: "};
static const Role Probe = {SimCall::GetVariable, EFI_DEVICE_ERROR, Outcome::Report,
                           "E: fail on checking for an existing Boot#### variable, S: "};
static const Role OptionWrite = {SimCall::SetVariable, EFI_WRITE_PROTECTED, Outcome::Report,
                                 "E: SetVariable failed on setting our Boot#### variable, S: "};
static const Role OrderWrite = {SimCall::SetVariable, EFI_OUT_OF_RESOURCES, Outcome::Report,
                                "E: SetVariable failed on appending our variable to BootOrder, "
                                "S: "};
// A console that cannot clear or show a cursor still carries the dialogue.
static const Role Clear = {SimCall::ClearScreen, EFI_UNSUPPORTED, Outcome::Unnoticed};
static const Role Cursor = {SimCall::EnableCursor, EFI_UNSUPPORTED, Outcome::Unnoticed};
static const Role EspTest = {SimCall::OpenProtocol, EFI_UNSUPPORTED, Outcome::Warned};
// A listed Boot#### that cannot be read is no duplicate: the same session.
static const Role EntryAlloc = {SimCall::AllocatePool, EFI_OUT_OF_RESOURCES, Outcome::Unnoticed};
static const Role EntryRead = {SimCall::GetVariable, EFI_DEVICE_ERROR, Outcome::Unnoticed};
// An image that cannot say where it came from has no options: the dialogue.
static const Role ImageLookup = {SimCall::HandleProtocol, EFI_UNSUPPORTED, Outcome::Unnoticed};

// Runs with options.
static const std::u16string EspUuid = u"PARTUUID=a4a3a2a1-a6a5-a8a7-a9aa-abacadaeafb0";
static const std::u16string OsUuid = u"PARTUUID=a6a5a4a3-a8a7-aaa9-abac-adaeafb0b1b2";
static const Role NextWrite = {SimCall::SetVariable, EFI_WRITE_PROTECTED, Outcome::Report,
                               "E: SetVariable failed on setting BootNext, S: "};
// Without its ExitData the run still ends with its status.
static const Role ExitDataAlloc = {SimCall::AllocatePool, EFI_OUT_OF_RESOURCES, Outcome::Unnoticed};
// The volume without the loader, or a handle that the selector does not name
// anyway: a failure there changes nothing.
static const Role QuietOpen = {SimCall::OpenProtocol, EFI_DEVICE_ERROR, Outcome::Unnoticed};
static const Role QuietVolume = {SimCall::OpenVolume, EFI_DEVICE_ERROR, Outcome::Unnoticed};
static const Role QuietFile = {SimCall::FileOpen, EFI_DEVICE_ERROR, Outcome::Unnoticed};
#define NO_LOADER "E: --loader \\EFI\\BOOT\\BOOTAA64.EFI: on no volume listed above\r\n"
static const Role SearchOpen = {SimCall::OpenProtocol, EFI_DEVICE_ERROR, Outcome::Refused,
                                NO_LOADER};
static const Role SearchVolume = {SimCall::OpenVolume, EFI_DEVICE_ERROR, Outcome::Refused,
                                  NO_LOADER};
static const Role SearchFile = {SimCall::FileOpen, EFI_DEVICE_ERROR, Outcome::Refused, NO_LOADER};
static const Role HomeSelect = {SimCall::OpenProtocol, EFI_DEVICE_ERROR, Outcome::Refused,
                                "E: --volume PARTUUID=a4a3a2a1-a6a5-a8a7-a9aa-abacadaeafb0: "
                                "matches no volume listed above\r\n"};
static const Role PartitionSelect = {SimCall::OpenProtocol, EFI_DEVICE_ERROR, Outcome::Refused,
                                     "E: --boot-volume PARTUUID=a6a5a4a3-a8a7-aaa9-abac-"
                                     "adaeafb0b1b2: matches no partition listed above\r\n"};

enum class Bvsrd { None, Fat, Partition };

struct Road {
  const char *Name;
  Bvsrd Boot;
  bool AsFilePath;
  unsigned OsPartitions;  // partitions the firmware cannot read
  bool HasBootOrder;
  std::vector<UINT16> BootOrder;
  std::vector<UINT16> Unlisted;              // Boot#### that exist without being listed
  unsigned Probes;                           // Boot#### names looked up before a free one
  bool Narrow = false;                       // 20 columns and a backspace at column 0
  bool OneVolume = false;                    // the ESP alone, which also is the one block device
  size_t EntryBytes = 2;                     // of each listed Boot####; above 512 read twice
  std::vector<std::u16string> Options = {};  // none: the dialogue, typed
};

// clang-format off
static const Road Roads[] = {
    {"no BVSRD, no BootOrder", Bvsrd::None, false, 1, false, {}, {}, 1},
    {"no BVSRD, BootOrder 3 0 1, Boot0002 unlisted", Bvsrd::None, false, 1, true, {3, 0, 1}, {2},
     2},
    {"no BVSRD, BootOrder of 70 entries", Bvsrd::None, false, 1, true, NumbersFrom(0, 69), {}, 1},
    {"FAT Boot Volume, OptionalData", Bvsrd::Fat, false, 1, true, {0}, {}, 1},
    {"FAT Boot Volume, FilePathList[1], narrow console", Bvsrd::Fat, true, 1, false, {}, {}, 1,
     true},
    {"partition, OptionalData, two partitions", Bvsrd::Partition, false, 2, true, {1, 0}, {}, 1},
    {"partition, FilePathList[1], one partition", Bvsrd::Partition, true, 1, false, {}, {0}, 2},
    // One handle: success with a count of 1 and no buffer is no list either.
    {"one volume, a listed entry of 600 bytes", Bvsrd::None, false, 0, true, {0}, {}, 1, false,
     true, 600},
    {"options: the loader's volume searched, BootNext", Bvsrd::None, false, 1, true, {0}, {}, 1,
     false, false, 2, {u"--loader", LoaderPath, u"--yes", u"--boot-next"}},
    {"options: partition by selector, FilePathList[1], dry run", Bvsrd::Partition, true, 1, false,
     {}, {}, 1, false, false, 2,
     {u"--loader", LoaderPath, u"--volume", EspUuid, u"--boot-volume", OsUuid, u"--boot-fs",
      u"kfs", u"--bvsrd-as", u"path", u"--dry-run"}},
};
// clang-format on

static bool HasOption(const Road &R, const char16_t *Option) {
  return std::find(R.Options.begin(), R.Options.end(), Option) != R.Options.end();
}

static void PrepareMachine(SimFirmware &Fw, const Road &R) {
  if (R.OneVolume) {
    EFI_HANDLE Esp = AddVolume(Fw, DiskPath + EspHardDrive + EndNode(), u"ESP", {LoaderPath});
    MarkSystemPartition(Fw, Esp);
  } else {
    AddBootMachine(Fw);
  }
  if (R.OsPartitions > 1) {
    AddBlockDevice(Fw, DiskPath + HardDriveNode(4, 0x62800, 0x800) + EndNode(), u"OS2");
  }
  SimVariableStore &Vars = VariablesOf(Fw);
  if (R.HasBootOrder) Vars.Put(u"BootOrder", 7, OptionNumberBytes(R.BootOrder));
  for (UINT16 N : R.BootOrder) {
    std::vector<UINT8> Entry(R.EntryBytes, 0x01);
    Entry[1] = (UINT8)N;
    Vars.Put(OptionName(N), 7, Entry);
  }
  for (UINT16 N : R.Unlisted) Vars.Put(OptionName(N), 7, {0x01, (UINT8)N});
  if (R.Narrow) Fw.Columns = 20;
  if (!R.Options.empty()) return;  // no key: every answer comes from the options
  std::string Step2 = "n";
  if (R.Boot == Bvsrd::Fat) Step2 = std::string("y") + (R.AsFilePath ? "y" : "n") + "y1\r";
  if (R.Boot == Bvsrd::Partition) Step2 = std::string("y") + (R.AsFilePath ? "y" : "n") + "n3\r1\r";
  std::string Description = R.Narrow ? "ABCDEFGHIJKLMNOPQRST\b\r" : "\r";
  std::string Root = R.Boot == Bvsrd::None ? "" : "\r";
  // 'y' writes; the closing key returns to the firmware. No 's' anywhere, so
  // a run that stops early takes a later key as the closing one and exits.
  Fw.Type("0\r" + Step2 + Description + "\\EFI\\BOOT\\BOOTAA64.EFI\r" + Root + "yx");
}

// The failable calls a road makes, as a multiset: the sweep matches each
// call it fails to one of these by what the run shows, in whatever order the
// dialogue makes them. Key waits and reads are swept apart.
static std::vector<Role> CallsOfRoad(const Road &R) {
  std::vector<Role> Calls = {Clear, Cursor, SfsLocate, DpttpLocate, ListOpen, ListText};
  // The entry point looks for options; a road with options gets them as words.
  if (R.Options.empty()) Calls.push_back(ImageLookup);
  if (!R.OneVolume) Calls.insert(Calls.end(), {ListOpen, ListText});
  bool Searched = !R.Options.empty() && !HasOption(R, u"--volume");
  // The search opens each volume and the loader on it; the ESP holds it.
  if (Searched) {
    Calls.insert(Calls.end(),
                 {SearchOpen, SearchVolume, SearchFile, QuietOpen, QuietVolume, QuietFile});
  }
  if (HasOption(R, u"--volume")) Calls.push_back(HomeSelect);
  Calls.push_back(HomeOpen);
  if (R.Boot == Bvsrd::Fat) Calls.push_back(BootOpen);
  // A partition is no file-system volume: both volumes are passed, and then
  // the whole disk, before the partition is found.
  if (R.Boot == Bvsrd::Partition && !R.Options.empty()) {
    Calls.insert(Calls.end(), {QuietOpen, QuietOpen, QuietOpen, PartitionSelect});
  }
  if (R.Boot == Bvsrd::Partition) {
    // Block I/O positions: the whole disk (opened, no hard-drive node), the
    // two volumes (left out unopened), then the partitions.
    Calls.insert(Calls.end(), {BiopLocate, ListOpen});
    if (R.OsPartitions == 1) Calls.insert(Calls.end(), {SoleListOpen, ListText});
    if (R.OsPartitions == 2) Calls.insert(Calls.end(), {ListOpen, ListText, ListOpen, ListText});
    Calls.push_back(BootOpen);
  }
  if (R.Narrow) Calls.push_back(QueryMode);
  Calls.insert(Calls.end(), {DpupLocate, SfspOpen, OpenVolume, FileOpen, HomeAppend, HomeSize});
  if (R.Boot != Bvsrd::None) Calls.insert(Calls.end(), {BootAppend, BootSize});
  Calls.insert(Calls.end(), {OptionAlloc, OrderAlloc, OrderRead});
  if (R.BootOrder.size() > 64) Calls.insert(Calls.end(), {OrderAlloc, OrderRead});
  for (unsigned I = 0; I < R.Probes; I++) Calls.push_back(Probe);
  Calls.push_back(EspTest);
  // Before the question each listed Boot#### is read and compared.
  for (size_t I = 0; I < R.BootOrder.size(); I++) {
    Calls.insert(Calls.end(), {EntryAlloc, EntryRead});
    if (R.EntryBytes > 512) Calls.insert(Calls.end(), {EntryAlloc, EntryRead});
  }
  // After the confirmation the chosen number is looked up once more.
  if (!HasOption(R, u"--dry-run")) Calls.insert(Calls.end(), {Probe, OptionWrite, OrderWrite});
  if (HasOption(R, u"--boot-next")) Calls.push_back(NextWrite);
  if (!R.Options.empty()) Calls.push_back(ExitDataAlloc);
  Calls.push_back(Cursor);
  return Calls;
}

struct Baseline {
  bool Unattended;
  std::vector<SimCallRecord> Log;
  std::string Screen;
  std::string SuccessEnd;  // the success line and the closing prompt, or the closing line
  SimVariableMap Before;
  SimVariableMap After;
  SimVariableMap Stranded;     // the option written, BootOrder as before
  SimVariableMap WithoutNext;  // all but BootNext
};

// How a run that failed ends: the closing prompt, or, with options, the
// closing line with the status the run exits with.
static std::string FailedEnd(const Baseline &B, EFI_STATUS Status) {
  if (!B.Unattended) return ClosingPrompt;
  return "E: the run failed, nothing more done, S: " + StatusDigits(Status) + "{NORMAL}\r\n";
}

// The end of every run with options: Exit, with success exactly when the run
// reached the baseline's end; every buffer freed, every file closed.
static void ExpectUnattendedEnd(SimFirmware &Fw, SimEnding Ending, const Baseline &B) {
  EXPECT_EQ(Ending, SimEnding::Exit);
  bool Succeeded = EndsWith(Fw.Screen(), B.SuccessEnd);
  EXPECT_EQ(Fw.ExitStatus == EFI_SUCCESS, Succeeded) << StatusDigits(Fw.ExitStatus);
  EXPECT_TRUE(Succeeded || EFI_ERROR(Fw.ExitStatus));
  EXPECT_EQ(Fw.LiveBuffers(), 0u);
  EXPECT_TRUE(Fw.PoolErrors.empty()) << Fw.PoolErrors.front();
  EXPECT_EQ(OpenFileCount(Fw), 0u);
  EXPECT_TRUE(!Fw.Transcript.empty() && (Fw.Transcript.back().Attribute & 0x7F) == ATTR_NORMAL);
}

struct FaultedRun {
  std::string Screen;
  SimVariableMap Store;
};

// The road's run with the Index-th call of the baseline's log faulted.
static FaultedRun RunFaulted(const Road &R, const Baseline &B, size_t Index, EFI_STATUS Status,
                             SimLie How, bool Onward) {
  SimFirmware Fw;
  PrepareMachine(Fw, R);
  SimCall Call = B.Log[Index].Call;
  unsigned Nth = 0;
  for (size_t I = 0; I <= Index; I++) Nth += B.Log[I].Call == Call;
  if (Onward) {
    Fw.FailFrom(Call, Nth, Status, How);
  } else {
    Fw.FailCall(Call, Nth, Status, How);
  }
  Fw.StaleOnFailure = true;  // the clean-up must not free what a failed call left behind
  if (B.Unattended) {
    ExpectUnattendedEnd(Fw, Fw.RunWith(R.Options), B);
  } else {
    // A run that stops early leaves keys unread.
    ExpectCleanEnd(Fw, Fw.Run(), false);
  }
  // Everything before the faulted call is the same run.
  EXPECT_GT(Fw.CallLog.size(), Index);
  if (Fw.CallLog.size() > Index) EXPECT_EQ(Fw.CallLog[Index].CallSite, B.Log[Index].CallSite);
  return {Fw.Screen(), VariablesOf(Fw).Entries};
}

static std::string Digits(EFI_STATUS Status) { return StatusDigits(Status) + "\r\n"; }

static size_t CountOf(const std::string &Text, const std::string &Piece) {
  size_t Count = 0;
  for (size_t At = Text.find(Piece); At != std::string::npos; At = Text.find(Piece, At + 1)) {
    Count++;
  }
  return Count;
}

static bool Contains(const std::string &Text, const std::string &Piece) {
  return Text.find(Piece) != std::string::npos;
}

// Whether a run with a call failing as What says (its status digits Shown)
// shows What's outcome and leaves the store as that outcome must.
static bool Fits(const Role &What, EFI_STATUS Shown, const Baseline &B, const FaultedRun &Run) {
  std::string Report = What.Report;
  if (EndsWith(Report, "S: ")) Report += Digits(Shown);
  const std::string &Screen = Run.Screen;
  switch (What.Then) {
    case Outcome::NoPartition:
      if (!Contains(Screen, ListLine + Digits(Shown))) return false;
      [[fallthrough]];
    case Outcome::Report: {
      // A report without a status, or with a warning, ends the run all the same.
      bool Status = EndsWith(What.Report, "S: ") && EFI_ERROR(Shown);
      if (!EndsWith(Screen, "{ERROR}" + Report + FailedEnd(B, Status ? Shown : EFI_ABORTED))) {
        return false;
      }
      // Only a failed BootOrder write leaves something behind: the option;
      // a failed BootNext leaves the entry.
      if (What.Report == NextWrite.Report) return Run.Store == B.WithoutNext;
      return Run.Store == (What.Report == OrderWrite.Report ? B.Stranded : B.Before);
    }
    case Outcome::Refused:
      return EndsWith(Screen, "{ERROR}" + Report + FailedEnd(B, EFI_INVALID_PARAMETER)) &&
             Run.Store == B.Before;
    case Outcome::ListLine:
      if (!Contains(Screen, ListLine + Digits(Shown))) return false;
      break;
    case Outcome::EntryMissing:
      if (CountOf(Screen, "]:") != CountOf(B.Screen, "]:") - 1) return false;
      break;
    case Outcome::Warned:
      if (CountOf(Screen, "{ERROR}Warning: no listed volume is an EFI System Partition") !=
          CountOf(B.Screen, "{ERROR}Warning") + 1) {
        return false;
      }
      break;
    case Outcome::Unnoticed:
      // A failed key read is no key, a console call that fails adds nothing,
      // an entry that cannot be read is no duplicate: the same keys give the
      // same session, and the same screen.
      if (Screen != B.Screen) return false;
      break;
    case Outcome::NoErase: {
      // Without the line width the blank of the erase is not written, and
      // nothing stands in for it (no blank elsewhere, no cursor moved on).
      size_t At =
          std::mismatch(Screen.begin(), Screen.end(), B.Screen.begin()).first - Screen.begin();
      if (At >= B.Screen.size() || B.Screen[At] != ' ' ||
          Screen != B.Screen.substr(0, At) + B.Screen.substr(At + 1)) {
        return false;
      }
      break;
    }
  }
  return EndsWith(Screen, B.SuccessEnd) && Run.Store == B.After;
}

// For the lies whose outcome no role foresees: the run either completes with
// the same store as without the fault, or ends on a report, and the store
// then holds nothing the user did not confirm.
static void ExpectSafeOutcome(const Baseline &B, const FaultedRun &Run) {
  if (EndsWith(Run.Screen, B.SuccessEnd)) {
    EXPECT_TRUE(Run.Store == B.After) << Run.Screen;
    return;
  }
  EXPECT_TRUE(Contains(Run.Screen, "{ERROR}E: ") || Contains(Run.Screen, "{LIST_ERROR}E: ") ||
              Contains(Run.Screen, AbortReport))
      << Run.Screen;
  // A failed BootNext write leaves the entry; on a road without one, that
  // store is the complete one, which no failed run may leave.
  bool EntryWithoutNext = !(B.WithoutNext == B.After) && Run.Store == B.WithoutNext;
  EXPECT_TRUE(Run.Store == B.Before || Run.Store == B.Stranded || EntryWithoutNext) << Run.Screen;
}

// The lies a call can tell besides failing, and whether its role foresees the
// outcome (then with the lie's status digits).
struct LieCase {
  SimLie How;
  EFI_STATUS Status;
  bool AsItsRole;
};

static std::vector<LieCase> LiesOf(SimCall Call) {
  const LieCase Null = {SimLie::NullResult, EFI_SUCCESS, true};
  const LieCase Warning = {SimLie::Warning, EFI_WARN_UNKNOWN_GLYPH, true};
  // The buffer pointer keeps what it held: after a regrow, the freed buffer.
  const LieCase Unwritten = {SimLie::Fail, EFI_WARN_UNKNOWN_GLYPH, true};
  switch (Call) {
    case SimCall::AllocatePool: return {Null, Warning, Unwritten};
    case SimCall::OpenProtocol:
    case SimCall::HandleProtocol:
    case SimCall::LocateHandleBuffer:
    case SimCall::LocateProtocol:
    case SimCall::OpenVolume:
    case SimCall::FileOpen: return {Null, Warning};
    case SimCall::QueryMode:
    case SimCall::ClearScreen:
    case SimCall::EnableCursor: return {Warning};
    case SimCall::GetVariable:
      return {Warning,
              {SimLie::SizeLarger, 0, false},
              {SimLie::SizeSmaller, 0, false},
              {SimLie::TooSmallStuck, 0, false}};
    case SimCall::GetDevicePathSize:
      return {{SimLie::SizeLarger, 0, false}, {SimLie::SizeSmaller, 0, false}};
    default: return {};
  }
}

// Roles whose outcome a lie changes: the ESP mark needs no interface, so a
// NULL one still marks an ESP.
static Role UnderLie(const Role &What, SimLie How) {
  if (How == SimLie::NullResult && What.Then == Outcome::Warned) {
    return {What.Call, 0, Outcome::Unnoticed};
  }
  return What;
}

// Failable services, other than the key waits and reads.
static bool Failable(SimCall Call) {
  switch (Call) {
    case SimCall::FreePool:
    case SimCall::WaitForEvent:
    case SimCall::ReadKeyStroke:
    case SimCall::Count: return false;
    default: return true;
  }
}

struct SweepCount {
  size_t Runs = 0;
  size_t LyingRuns = 0;
  std::map<SimCall, std::set<void *>> Sites;
};

// Fails the Index-th call as one of the road's remaining roles, then lets it
// lie as each of its lies.
static void SweepCall(const Road &R, const Baseline &B, size_t Index, std::vector<Role> &Left,
                      SweepCount &Count) {
  SimCall Call = B.Log[Index].Call;
  SCOPED_TRACE(std::string(R.Name) + ", call " + std::to_string(Index) + " of the log");
  // Roles of one call differ in their status: the run with each status is
  // made once, and the role whose outcome it shows is the call's.
  std::map<EFI_STATUS, FaultedRun> Made;
  auto Matched = std::find_if(Left.begin(), Left.end(), [&](const Role &What) {
    if (What.Call != Call) return false;
    auto Run = Made.find(What.Status);
    if (Run == Made.end()) {
      Run = Made.emplace(What.Status, RunFaulted(R, B, Index, What.Status, SimLie::Fail, false))
                .first;
      Count.Runs++;
    }
    return Fits(What, What.Status, B, Run->second);
  });
  ASSERT_FALSE(Made.empty()) << "a failable call the road does not expect";
  ASSERT_NE(Matched, Left.end()) << "no role of this call fits the run:\n"
                                 << Made.begin()->second.Screen;
  Role What = *Matched;
  Left.erase(Matched);

  for (const LieCase &Lie : LiesOf(Call)) {
    SCOPED_TRACE("lie " + std::to_string((int)Lie.How));
    FaultedRun Lying = RunFaulted(R, B, Index, Lie.Status, Lie.How, false);
    Count.LyingRuns++;
    if (Lie.AsItsRole) {
      EXPECT_TRUE(Fits(UnderLie(What, Lie.How), Lie.Status, B, Lying)) << Lying.Screen;
    } else {
      ExpectSafeOutcome(B, Lying);
    }
  }
  // Every call of this service from here on fails.
  SCOPED_TRACE("failing from here on");
  ExpectSafeOutcome(B, RunFaulted(R, B, Index, What.Status, SimLie::Fail, true));
  Count.LyingRuns++;
}

// The key waits and reads, at the first call of each of their sites: a read
// that fails once is no key (the next wait brings it), a failed wait ends
// its question; so do a wait or a read that fail for ever, never a spin.
static void SweepKeyCalls(const Road &R, const Baseline &B, SweepCount &Count) {
  std::set<void *> Seen;
  for (size_t I = 0; I < B.Log.size(); I++) {
    SimCall Call = B.Log[I].Call;
    if (Call != SimCall::WaitForEvent && Call != SimCall::ReadKeyStroke) continue;
    if (!Seen.insert(B.Log[I].CallSite).second) continue;
    SCOPED_TRACE(std::string(R.Name) + ", key call " + std::to_string(I) + " of the log");
    FaultedRun Once = RunFaulted(R, B, I, EFI_DEVICE_ERROR, SimLie::Fail, false);
    if (Call == SimCall::ReadKeyStroke) {
      EXPECT_TRUE(Fits({Call, EFI_DEVICE_ERROR, Outcome::Unnoticed}, 0, B, Once)) << Once.Screen;
    } else {
      ExpectSafeOutcome(B, Once);
    }
    ExpectSafeOutcome(B, RunFaulted(R, B, I, EFI_DEVICE_ERROR, SimLie::Fail, true));
    Count.Runs++;
    Count.LyingRuns++;
    Count.Sites[Call].insert(B.Log[I].CallSite);
  }
}

TEST(FailureSweep, EveryFailableCallOnEveryRoadEndsAtTheClosingPromptWithItsReport) {
  auto Start = std::chrono::steady_clock::now();
  SweepCount Count;
  for (const Road &R : Roads) {
    SCOPED_TRACE(R.Name);
    Baseline B;
    {
      SimFirmware Fw;
      PrepareMachine(Fw, R);
      B.Unattended = !R.Options.empty();
      B.Before = VariablesOf(Fw).Entries;
      ASSERT_EQ(B.Unattended ? Fw.RunWith(R.Options) : Fw.Run(), SimEnding::Exit);
      ASSERT_EQ(Fw.ExitStatus, EFI_SUCCESS);
      B.Log = Fw.CallLog;
      B.Screen = Fw.Screen();
      B.After = VariablesOf(Fw).Entries;
      B.Stranded = B.After;
      auto Order = GlobalKey(u"BootOrder");
      B.Stranded.erase(Order);
      if (B.Before.count(Order)) B.Stranded[Order] = B.Before.at(Order);
      B.WithoutNext = B.After;
      B.WithoutNext.erase(GlobalKey(u"BootNext"));
      B.Stranded.erase(GlobalKey(u"BootNext"));
      // With options: the closing line, the last on the screen.
      B.SuccessEnd = B.Unattended ? B.Screen.substr(B.Screen.rfind("\r\n", B.Screen.size() - 3) + 2)
                                  : SuccessLine + ClosingPrompt;
      ASSERT_TRUE(EndsWith(B.Screen, B.Unattended ? "{NORMAL}\r\n" : SuccessLine + ClosingPrompt))
          << B.Screen;
      Count.Runs++;
    }
    std::vector<Role> Left = CallsOfRoad(R);
    for (size_t I = 0; I < B.Log.size(); I++) {
      if (!Failable(B.Log[I].Call)) continue;
      SweepCall(R, B, I, Left, Count);
      Count.Sites[B.Log[I].Call].insert(B.Log[I].CallSite);
    }
    EXPECT_TRUE(Left.empty()) << Left.size() << " expected calls the dialogue did not make";
    SweepKeyCalls(R, B, Count);
  }
  size_t Sites = 0;
  for (const auto &Service : Count.Sites) Sites += Service.second.size();
  double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
  std::cout << "failure sweep: " << Sites << " failable call sites seen and failed, " << Count.Runs
            << " failing runs and " << Count.LyingRuns << " lying ones in " << Seconds << " s\n";
}

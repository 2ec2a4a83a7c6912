// The failure sweep: on each main road of the dialogue, every firmware call
// that can fail is made to fail once, in a run of its own, and the run must
// show that call's report, reach the closing prompt, exit with EFI_SUCCESS,
// free every pool buffer exactly once (and nothing that a failed call left
// in a buffer pointer) and change no variable that the user has not confirmed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>

#include "session.h"

// What the failure of one call must lead to.
enum class Outcome {
  Report,       // its report, then the closing prompt
  NoPartition,  // the per-handle line, then the report of an empty partition list
  ListLine,     // the per-handle line; the listing and the dialogue go on to the new entry
  EntryMissing, // the handle's entry is left out; the dialogue goes on to the new entry
  Warned,       // the volume counts as no ESP: the warning, then on to the new entry
  Unnoticed,    // the key is waited for again, or the screen stays uncorrected
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
static const Role QueryMode = {SimCall::QueryMode, EFI_UNSUPPORTED, Outcome::Unnoticed};
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
static const Role KeyRead = {SimCall::ReadKeyStroke, EFI_NOT_READY, Outcome::Unnoticed};
static const Role DiscardRead = {SimCall::ReadKeyStroke, EFI_DEVICE_ERROR, Outcome::Unnoticed};
// A console that cannot clear or show a cursor still carries the dialogue.
static const Role Clear = {SimCall::ClearScreen, EFI_UNSUPPORTED, Outcome::Unnoticed};
static const Role Cursor = {SimCall::EnableCursor, EFI_UNSUPPORTED, Outcome::Unnoticed};
static const Role EspTest = {SimCall::OpenProtocol, EFI_UNSUPPORTED, Outcome::Warned};

enum class Bvsrd { None, Fat, Partition };

struct Road {
  const char *Name;
  Bvsrd Boot;
  bool AsFilePath;
  unsigned OsPartitions;  // partitions the firmware cannot read
  bool HasBootOrder;
  std::vector<UINT16> BootOrder;
  std::vector<UINT16> Unlisted;  // Boot#### that exist without being listed
  unsigned Probes;               // Boot#### names looked up before a free one
  bool Narrow = false;           // 20 columns and a backspace at column 0
};

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
};

static void PrepareMachine(SimFirmware &Fw, const Road &R) {
  AddBootMachine(Fw);
  if (R.OsPartitions > 1) {
    AddBlockDevice(Fw, DiskPath + HardDriveNode(4, 0x62800, 0x800) + EndNode(), u"OS2");
  }
  SimVariableStore &Vars = VariablesOf(Fw);
  if (R.HasBootOrder) Vars.Put(u"BootOrder", 7, OptionNumberBytes(R.BootOrder));
  for (UINT16 N : R.BootOrder) Vars.Put(OptionName(N), 7, {0x01, (UINT8)N});
  for (UINT16 N : R.Unlisted) Vars.Put(OptionName(N), 7, {0x01, (UINT8)N});
  if (R.Narrow) Fw.Columns = 20;
  std::string Step2 = "n";
  if (R.Boot == Bvsrd::Fat) Step2 = std::string("y") + (R.AsFilePath ? "y" : "n") + "y1\r";
  if (R.Boot == Bvsrd::Partition) Step2 = std::string("y") + (R.AsFilePath ? "y" : "n") + "n3\r1\r";
  std::string Description = R.Narrow ? "ABCDEFGHIJKLMNOPQRST\b\r" : "\r";
  std::string Root = R.Boot == Bvsrd::None ? "" : "\r";
  // 'y' writes; the closing key returns to the firmware. No 's' anywhere, so
  // a run that stops early takes a later key as the closing one and exits.
  Fw.Type("0\r" + Step2 + Description + "\\EFI\\BOOT\\BOOTAA64.EFI\r" + Root + "yx");
}

// The failable calls of a road in the order the dialogue makes them; key
// reads are left out, since every question makes them.
static std::vector<Role> CallsOfRoad(const Road &R) {
  std::vector<Role> Calls = {Clear, Cursor, SfsLocate, DpttpLocate, ListOpen, ListText, ListOpen, ListText,
                             HomeOpen};
  if (R.Boot == Bvsrd::Fat) Calls.push_back(BootOpen);
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
  // After the confirmation the chosen number is looked up once more.
  Calls.insert(Calls.end(), {EspTest, Probe, OptionWrite, OrderWrite, Cursor});
  return Calls;
}

static std::string Digits(EFI_STATUS Status) { return StatusDigits(Status) + "\r\n"; }

static size_t CountOf(const std::string &Text, const std::string &Piece) {
  size_t Count = 0;
  for (size_t At = Text.find(Piece); At != std::string::npos; At = Text.find(Piece, At + 1)) {
    Count++;
  }
  return Count;
}

struct Baseline {
  std::vector<SimCallRecord> Log;
  std::string Screen;
  SimVariableMap Before;
  SimVariableMap After;
};

// The run with the Index-th call of Baseline's log failing as Role says.
static void FailOneCall(const Road &R, const Baseline &B, size_t Index, const Role &What) {
  SimFirmware Fw;
  PrepareMachine(Fw, R);
  unsigned Nth = 0;
  for (size_t I = 0; I <= Index; I++) Nth += B.Log[I].Call == What.Call;
  Fw.FailCall(What.Call, Nth, What.Status);
  Fw.StaleOnFailure = true;  // the clean-up must not free what a failed call left behind
  SCOPED_TRACE(std::string(R.Name) + ", call " + std::to_string(Index) + ", occurrence " +
               std::to_string(Nth) + " of its kind");

  // A run that stops early leaves keys unread.
  ExpectCleanEnd(Fw, Fw.Run(), false);
  // Everything before the failing call is the same run, so the call that
  // failed is the one at the same place in the log.
  ASSERT_GT(Fw.CallLog.size(), Index);
  EXPECT_EQ(Fw.CallLog[Index].CallSite, B.Log[Index].CallSite);

  std::string Screen = Fw.Screen();
  const SimVariableMap &Store = VariablesOf(Fw).Entries;
  std::string Shown = What.Report;
  if (EndsWith(Shown, "S: ")) Shown += Digits(What.Status);
  switch (What.Then) {
    case Outcome::NoPartition:
      EXPECT_NE(Screen.find(ListLine + Digits(What.Status)), std::string::npos) << Screen;
      [[fallthrough]];
    case Outcome::Report: {
      EXPECT_TRUE(EndsWith(Screen, "{ERROR}" + Shown + ClosingPrompt)) << Screen;
      // Only a failed BootOrder write leaves something behind: the option.
      SimVariableMap Expected = B.Before;
      if (What.Report == OrderWrite.Report) {
        Expected = B.After;
        auto Order = GlobalKey(u"BootOrder");
        Expected.erase(Order);
        if (B.Before.count(Order)) Expected[Order] = B.Before.at(Order);
      }
      EXPECT_TRUE(Store == Expected);
      return;
    }
    case Outcome::ListLine:
      EXPECT_NE(Screen.find(ListLine + Digits(What.Status)), std::string::npos) << Screen;
      break;
    case Outcome::EntryMissing:
      EXPECT_EQ(CountOf(Screen, "]:"), CountOf(B.Screen, "]:") - 1) << Screen;
      break;
    case Outcome::Warned:
      EXPECT_EQ(CountOf(Screen, "{ERROR}Warning: no listed volume is an EFI System Partition"),
                CountOf(B.Screen, "{ERROR}Warning") + 1) << Screen;
      break;
    case Outcome::Unnoticed:
      // A failed key read is no key: the same keys give the same session;
      // only a failed QueryMode leaves an erase uncorrected on screen.
      if (What.Call != SimCall::QueryMode) EXPECT_EQ(Screen, B.Screen);
      break;
  }
  EXPECT_TRUE(EndsWith(Screen, SuccessLine + ClosingPrompt)) << Screen;
  EXPECT_TRUE(Store == B.After);
}

// Failable services by the member the application calls them through.
static const std::map<std::string, SimCall> FailableServices = {
    {"AllocatePool", SimCall::AllocatePool},
    {"OpenProtocol", SimCall::OpenProtocol},
    {"LocateHandleBuffer", SimCall::LocateHandleBuffer},
    {"LocateProtocol", SimCall::LocateProtocol},
    {"ReadKeyStroke", SimCall::ReadKeyStroke},
    {"QueryMode", SimCall::QueryMode},
    {"ClearScreen", SimCall::ClearScreen},
    {"EnableCursor", SimCall::EnableCursor},
    {"OpenVolume", SimCall::OpenVolume},
    {"Open", SimCall::FileOpen},
    {"ConvertDevicePathToText", SimCall::ConvertDevicePathToText},
    {"AppendDeviceNode", SimCall::AppendDeviceNode},
    {"GetDevicePathSize", SimCall::GetDevicePathSize},
    {"GetVariable", SimCall::GetVariable},
    {"SetVariable", SimCall::SetVariable},
};

// How many call sites of each failable service exist, counted in the source
// text rather than in the runs, so that a new call that no road reaches is
// noticed. Every firmware call goes through a table or protocol pointer
// ("->Name("), and the host build is unoptimised, so each textual call is
// exactly one call instruction with a return address of its own: the sites
// that the sweep failed, told apart by return address, are then comparable
// one to one with the calls written in the source.
static std::map<SimCall, size_t> CallSitesInSource() {
  std::map<SimCall, size_t> Sites;
  const std::regex Comment(R"(//[^\n]*|/\*[\s\S]*?\*/)");
  const std::regex Call(R"(->\s*([A-Za-z]+)\s*\()");
  for (const char *Folder : {"app", "console", "volumes", "loadoption", "bootvars"}) {
    for (const auto &Entry :
         std::filesystem::directory_iterator(std::filesystem::path(APP_SOURCE_DIR) / Folder)) {
      std::ifstream File(Entry.path());
      std::stringstream Text;
      Text << File.rdbuf();
      std::string Code = std::regex_replace(Text.str(), Comment, " ");
      for (std::sregex_iterator It(Code.begin(), Code.end(), Call), End; It != End; ++It) {
        auto Service = FailableServices.find((*It)[1]);
        if (Service != FailableServices.end()) Sites[Service->second]++;
      }
    }
  }
  return Sites;
}

TEST(FailureSweep, EveryFailableCallOnEveryRoadEndsAtTheClosingPromptWithItsReport) {
  auto Start = std::chrono::steady_clock::now();
  std::map<SimCall, std::set<void *>> Covered;
  size_t Runs = 0;
  for (const Road &R : Roads) {
    SCOPED_TRACE(R.Name);
    Baseline B;
    {
      SimFirmware Fw;
      PrepareMachine(Fw, R);
      B.Before = VariablesOf(Fw).Entries;
      ASSERT_EQ(Fw.Run(), SimEnding::Exit);
      B.Log = Fw.CallLog;
      B.Screen = Fw.Screen();
      B.After = VariablesOf(Fw).Entries;
      ASSERT_TRUE(EndsWith(B.Screen, SuccessLine + ClosingPrompt)) << B.Screen;
      Runs++;
    }
    std::vector<Role> Expected = CallsOfRoad(R);
    size_t Next = 0;
    size_t ConfirmationRead = 0;
    for (size_t I = 0; I < B.Log.size(); I++) {
      SimCall Call = B.Log[I].Call;
      if (Call == SimCall::ReadKeyStroke && Next + 1 < Expected.size() &&
          Expected[Next + 1].Call == SimCall::SetVariable) {
        ConfirmationRead = I;  // the last key read before the second probe
      }
      if (Call == SimCall::ReadKeyStroke) continue;
      bool Failable = false;
      for (const auto &Service : FailableServices) Failable |= Service.second == Call;
      if (!Failable) continue;
      ASSERT_LT(Next, Expected.size()) << "a failable call the road does not expect";
      const Role &What = Expected[Next++];
      ASSERT_EQ(Call, What.Call) << "call " << I << " of the log";
      FailOneCall(R, B, I, What);
      Covered[Call].insert(B.Log[I].CallSite);
      Runs++;
    }
    EXPECT_EQ(Next, Expected.size()) << "calls the road expects but the dialogue did not make";
    ASSERT_NE(ConfirmationRead, 0u);
    FailOneCall(R, B, ConfirmationRead, KeyRead);
    Covered[SimCall::ReadKeyStroke].insert(B.Log[ConfirmationRead].CallSite);
    // The read before it empties the queue ahead of the question.
    size_t Discard = ConfirmationRead - 1;
    while (B.Log[Discard].Call != SimCall::ReadKeyStroke) Discard--;
    FailOneCall(R, B, Discard, DiscardRead);
    Covered[SimCall::ReadKeyStroke].insert(B.Log[Discard].CallSite);
    Runs += 2;
  }

  std::map<SimCall, size_t> InSource = CallSitesInSource();
  size_t Total = 0;
  size_t Hit = 0;
  for (const auto &Service : FailableServices) {
    size_t Sites = InSource[Service.second];
    EXPECT_EQ(Covered[Service.second].size(), Sites) << "call sites of " << Service.first;
    Total += Sites;
    Hit += Covered[Service.second].size();
  }
  EXPECT_EQ(Hit, Total);
  double Seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
  std::cout << "failure sweep: " << Hit << " of " << Total << " failable call sites covered, "
            << Runs << " runs in " << Seconds << " s\n";
}

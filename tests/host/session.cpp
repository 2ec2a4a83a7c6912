// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "session.h"

#include <cstring>

#include "app/dialogue.h"
#include "bootvars/boot_order.h"
#include "console/colours.h"

const SimPath DiskPath = PciRootNode(0) + PciNode(1, 0);
const SimPath EspHardDrive = HardDriveNode(1, 0x800, 0x32000);
const SimPath DataHardDrive = HardDriveNode(2, 0x32800, 0x10000);
const SimPath OsHardDrive = HardDriveNode(3, 0x42800, 0x20000);
const char16_t *LoaderPath = u"\\EFI\\BOOT\\BOOTAA64.EFI";

static std::u16string Wide(const char *Text) { return std::u16string(Text, Text + strlen(Text)); }

Machine AddTypicalMachine(SimFirmware &Fw) {
  Machine M = {};
  M.Esp = AddVolume(Fw, DiskPath + EspHardDrive + EndNode(),
                    Wide("PciRoot(0x0)/Pci(0x1,0x0)/HD(1,GPT,A1A2A3A4-0000,0x800,0x32000)"),
                    {LoaderPath});
  MarkSystemPartition(Fw, M.Esp);
  M.Data = AddVolume(Fw, DiskPath + DataHardDrive + EndNode(),
                     Wide("PciRoot(0x0)/Pci(0x1,0x0)/HD(2,GPT,A2A3A4A5-0000,0x32800,0x10000)"));
  return M;
}

Machine AddBootMachine(SimFirmware &Fw, bool WithOsPartition) {
  EFI_HANDLE Disk = AddBlockDevice(Fw, DiskPath + EndNode(), u"PciRoot(0x0)/Pci(0x1,0x0)");
  Machine M = AddTypicalMachine(Fw);
  M.Disk = Disk;
  if (WithOsPartition) {
    M.Os =
        AddBlockDevice(Fw, DiskPath + OsHardDrive + EndNode(),
                       Wide("PciRoot(0x0)/Pci(0x1,0x0)/HD(3,GPT,A3A4A5A6-0000,0x42800,0x20000)"));
  }
  return M;
}

std::string TypicalSession(const std::string &Index, const std::string &Description,
                           const std::string &Loader) {
  return Index + "\rn" + Description + "\r" + Loader + "\r";
}

std::string BootSession(const std::string &Step2, const std::string &Root,
                        const std::string &Loader) {
  return "0\r" + Step2 + "\r" + Loader + "\r" + Root;
}

void ExpectCleanEnd(SimFirmware &Fw, SimEnding Ending, bool AllKeysRead) {
  EXPECT_EQ(Ending, SimEnding::Exit);
  EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS);
  if (AllKeysRead) EXPECT_EQ(Fw.NextKey, Fw.Keys.size()) << "keys left unread";
  EXPECT_EQ(Fw.LiveBuffers(), 0u);
  EXPECT_TRUE(Fw.PoolErrors.empty()) << Fw.PoolErrors.front();
  EXPECT_EQ(OpenFileCount(Fw), 0u);
  // The prompt may continue a run that is already in ATTR_NORMAL.
  std::string Screen = Fw.Screen();
  EXPECT_TRUE(!Fw.Transcript.empty() && (Fw.Transcript.back().Attribute & 0x7F) == ATTR_NORMAL);
  EXPECT_TRUE(EndsWith(Screen, ClosingPrompt.substr(8))) << Screen;
}

void RunToClosingPrompt(SimFirmware &Fw, const std::string &Keys) {
  Fw.Type(Keys + "x");
  ExpectCleanEnd(Fw, Fw.Run());
}

DialogueRun RunDialogueSteps(SimFirmware &Fw, const std::string &Keys) {
  DialogueRun Run = {};
  Fw.Type(Keys + "x");
  SimEnding Ending = Fw.Call([&] {
    SetRole(ATTR_NORMAL);
    DialogState &S = Run.State;
    RunDialogue(&S);
    Run.BlockIoHeld = S.BlockIoHandles != nullptr;
    if (S.LoadOption != nullptr) Run.Record = BytesOf(S.LoadOption, S.LoadOptionSize);
    const FileDevicePath &Home = S.HomePath;
    const FileDevicePath &Boot = S.BootPath;
    if (Home.Short != nullptr) Run.HomeShort = BytesOf(Home.Short, Home.ShortSize);
    if (Boot.Short != nullptr) Run.BootShort = BytesOf(Boot.Short, Boot.ShortSize);
    Run.HomeShortAt = Home.Full == nullptr || Home.Short == nullptr
                          ? -1
                          : (UINT8 *)Home.Short - (UINT8 *)Home.Full;
    FinishRun(&S);
  });
  ExpectCleanEnd(Fw, Ending);
  Run.Screen = Fw.Screen();
  return Run;
}

const std::vector<UINT8> TestPathsAndData = {0x04, 0x01, 0x2A, 0x00, 0x7F,
                                             0xFF, 0x04, 0x00, 0xAA, 0x55};
const std::vector<UINT8> TestRecord = RecordBytes(8, u"D", TestPathsAndData);

void RunLastSteps(SimFirmware &Fw, const std::string &Keys, const std::vector<UINT8> &Record) {
  DialogState State = {};
  // One listed volume, an ESP: no warning about a missing one.
  EFI_HANDLE Esp = Fw.NewHandle();
  MarkSystemPartition(Fw, Esp);
  Fw.Type(Keys);
  SimEnding Ending = Fw.Call([&] {
    SetRole(ATTR_NORMAL);  // as the record step leaves the console
    State.SfsHandleCount = 1;
    State.SfsHandles = static_cast<EFI_HANDLE *>(Fw.Allocate(sizeof Esp));
    State.SfsHandles[0] = Esp;
    State.LoadOption = static_cast<UINT8 *>(Fw.Allocate(Record.size()));
    std::memcpy(State.LoadOption, Record.data(), Record.size());
    State.LoadOptionSize = Record.size();
    RunDialogueFrom(&State, ChooseOptionNumber);
    FinishRun(&State);
  });
  ExpectCleanEnd(Fw, Ending);
}

SimPath BytesOf(const void *From, size_t Size) {
  const UINT8 *First = static_cast<const UINT8 *>(From);
  return SimPath(First, First + Size);
}

SimPath RecordBytes(UINT16 FilePathListLength, const std::u16string &Description,
                    const SimPath &Home, const SimPath &Boot, UINT16 FsTypeCode) {
  SimPath Record = {
      0x01, 0x00, 0x00, 0x00, (UINT8)(FilePathListLength & 0xFF), (UINT8)(FilePathListLength >> 8)};
  Record = Record + BytesOf(Description.c_str(), 2 * (Description.size() + 1)) + Home;
  if (Boot.empty()) return Record;
  return Record + Boot + SimPath{(UINT8)(FsTypeCode & 0xFF), (UINT8)(FsTypeCode >> 8)};
}

SimPath EspShortForm() { return EspHardDrive + FilePathNode(LoaderPath) + EndNode(); }
SimPath BootShortForm(const SimPath &HardDrive, const std::u16string &Root) {
  return HardDrive + FilePathNode(Root) + EndNode();
}

std::u16string OptionName(UINT16 Number) {
  char Name[16];
  std::snprintf(Name, sizeof Name, "Boot%04X", Number);
  return Wide(Name);
}

std::vector<UINT16> NumbersFrom(UINT32 First, UINT32 Last) {
  std::vector<UINT16> Numbers;
  for (UINT32 N = First; N <= Last; N++) Numbers.push_back((UINT16)N);
  return Numbers;
}

std::pair<std::u16string, std::string> GlobalKey(const std::u16string &Name) {
  return {Name, std::string((const char *)&EFI_GLOBAL_VARIABLE_GUID, sizeof(EFI_GUID))};
}

const std::string Banner = "{BANNER}Let's create our Load Option!\r\n";
const std::string ClosingPrompt =
    "{NORMAL}Press <s> to shutdown or anything else (exc. <Enter>) to exit this app.\r\n";
const std::string ListLine =
    "{LIST_ERROR}E: Failed to open Device Path protocol on a handle, S: {NORMAL}";
const std::string Retry = "{ERROR}Wrong index, type \"y\" for trying again: {NORMAL}";
const std::string NeedToCreate = "Need to create BootOrder.\r\n";
const std::string SuccessLine =
    "Load Option is created, saved in the FW NV storage and added to \"BootOrder\". :)\r\n";
const std::string AbortReport = "{ERROR}You have aborted Load Option creation.\r\n"
                                "Nothing has been changed in the UEFI environment.\r\n";

std::string Announcement(const std::string &Name) {
  return "Trying to set \"{HIGHLIGHT}" + Name +
         "{NORMAL}\" UEFI Load Option variable...\r\n"
         "{HIGHLIGHT}Are you sure you want to write the created Load Option\r\n"
         "into UEFI persistent storage?\r\nType \"y\" for \"yes\"\r\n";
}

std::string Typed(const std::string &Text) { return "{HIGHLIGHT}" + Text + "{NORMAL}\r\n"; }

std::string DuplicateWarning(const std::string &Name, const std::string &Description) {
  return "{ERROR}Warning: " + Name + " \"" + Description +
         "\" already has the same paths and data.\r\n{NORMAL}";
}

std::string StatusDigits(EFI_STATUS Status) {
  char Text[20];
  std::snprintf(Text, sizeof Text, "%016llX", (unsigned long long)Status);
  return Text;
}

size_t CallsOf(const SimFirmware &Fw, SimCall Call) {
  size_t Count = 0;
  for (const SimCallRecord &Record : Fw.CallLog) Count += Record.Call == Call;
  return Count;
}

bool EndsWith(const std::string &Text, const std::string &End) {
  return Text.size() >= End.size() && Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}

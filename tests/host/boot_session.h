// The user's side of a Boot Volume test: a machine with a partition that the
// firmware cannot read, the keys of a session that asks for a BVSRD, and a
// run that keeps what the dialogue built before the clean-up frees it.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "app/dialogue.h"
#include "console/colours.h"
#include "session.h"

// Block I/O positions: 0 the whole disk (no hard-drive node), 1 the ESP and
// 2 the FAT data partition (volumes 0 and 1), 3 the OS partition, which has
// no file system the firmware reads.
struct BootMachine {
  EFI_HANDLE Disk;
  EFI_HANDLE Esp;
  EFI_HANDLE Data;
  EFI_HANDLE Os;
};

inline const SimPath DiskPath = PciRootNode(0) + PciNode(1, 0);
inline const SimPath EspHardDrive = HardDriveNode(1, 0x800, 0x32000);
inline const SimPath DataHardDrive = HardDriveNode(2, 0x32800, 0x10000);
inline const SimPath OsHardDrive = HardDriveNode(3, 0x42800, 0x20000);
inline const char *OsText = "PciRoot(0x0)/Pci(0x1,0x0)/HD(3,GPT,A3A4A5A6-0000,0x42800,0x20000)";

inline BootMachine AddBootMachine(SimFirmware &Fw, bool WithOsPartition = true) {
  BootMachine Machine = {};
  Machine.Disk = AddBlockDevice(Fw, DiskPath + EndNode(), u"PciRoot(0x0)/Pci(0x1,0x0)");
  TypicalMachine Typical = AddTypicalMachine(Fw);
  Machine.Esp = Typical.Esp;
  Machine.Data = Typical.Data;
  if (WithOsPartition) {
    Machine.Os = AddBlockDevice(Fw, DiskPath + OsHardDrive + EndNode(),
                                std::u16string(OsText, OsText + strlen(OsText)));
  }
  return Machine;
}

// Home Volume 0, the Boot Volume answers (Step2), then the description and
// the loader path, each ended with Enter, the keys typed at the system root
// prompt (none when no Boot Volume is chosen), and what follows the record.
inline std::string BootSession(const std::string &Step2, const std::string &Root = "\r",
                               const std::string &Loader = "\\EFI\\BOOT\\BOOTAA64.EFI") {
  return "0\r" + Step2 + "\r" + Loader + "\r" + Root + KeysAfterRecord();
}

// The loader's short form on the ESP, and a Boot Volume's with its root path.
inline SimPath EspShortForm() { return EspHardDrive + FilePathNode(LoaderPath) + EndNode(); }
inline SimPath BootShortForm(const SimPath &HardDrive, const std::u16string &Root = u"Ixo") {
  return HardDrive + FilePathNode(Root) + EndNode();
}

inline SimPath CopyOf(const void *From, size_t Size) {
  const UINT8 *First = static_cast<const UINT8 *>(From);
  return SimPath(First, First + Size);
}

// Attributes, FilePathListLength, "Unnamed", the loader's path, and the BVSRD
// when BootShort is not empty.
inline SimPath ExpectedRecord(UINT16 FilePathListLength, const SimPath &HomeShort,
                              const SimPath &BootShort = {}, UINT16 FsTypeCode = 0) {
  SimPath Record = {0x01, 0x00, 0x00, 0x00, (UINT8)(FilePathListLength & 0xFF),
                    (UINT8)(FilePathListLength >> 8)};
  Record = Record + CopyOf(u"Unnamed", 16) + HomeShort;
  if (!BootShort.empty()) {
    Record = Record + BootShort + SimPath{(UINT8)(FsTypeCode & 0xFF), (UINT8)(FsTypeCode >> 8)};
  }
  return Record;
}

// What a run left behind. The pool buffers are copied before the clean-up
// frees them; the pointers in State are NULL afterwards.
struct BootRun {
  DialogState State;
  bool BlockIoHeld;
  SimPath Record;
  SimPath BootShort;
  std::string Screen;
};

inline size_t CallsOf(const SimFirmware &Fw, SimCall Call) {
  size_t Count = 0;
  for (const SimCallRecord &Record : Fw.CallLog) Count += Record.Call == Call;
  return Count;
}

inline bool EndsWith(const std::string &Text, const std::string &End) {
  return Text.size() >= End.size() && Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}

// Runs the dialogue and the common clean-up as the entry point does (without
// the banner), then checks what every run must end with: the closing prompt,
// Exit(EFI_SUCCESS), every key read, every buffer freed once, no file open.
inline BootRun RunBootDialogue(SimFirmware &Fw, const std::string &Keys) {
  BootRun Run = {};
  Fw.Type(Keys + "x");
  SimEnding Ending = Fw.Call([&] {
    SetRole(ATTR_NORMAL);
    RunDialogue(&Run.State);
    Run.BlockIoHeld = Run.State.BlockIoHandles != nullptr;
    if (Run.State.LoadOption != nullptr) {
      Run.Record = CopyOf(Run.State.LoadOption, Run.State.LoadOptionSize);
    }
    if (Run.State.bootvoldpshort != nullptr) {
      Run.BootShort = CopyOf(Run.State.bootvoldpshort, Run.State.BootShortSize);
    }
    FinishRun(&Run.State);
  });
  EXPECT_EQ(Ending, SimEnding::Exit);
  EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS);
  EXPECT_EQ(Fw.NextKey, Fw.Keys.size()) << "keys left unread";
  EXPECT_EQ(Fw.LiveBuffers(), 0u);
  EXPECT_TRUE(Fw.PoolErrors.empty()) << Fw.PoolErrors.front();
  EXPECT_EQ(OpenFileCount(Fw), 0u);
  Run.Screen = Fw.Screen();
  // The prompt may continue a run that is already in ATTR_NORMAL.
  EXPECT_TRUE(!Fw.Transcript.empty() && (Fw.Transcript.back().Attribute & 0x7F) == ATTR_NORMAL);
  EXPECT_TRUE(EndsWith(Run.Screen, std::string(ClosingPrompt).substr(8))) << Run.Screen;
  return Run;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The user's side of a dialogue test: the machines, the keys of typical
// sessions, the texts many runs show, and the checks that every run must pass
// at its end.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/dialog_state.h"
#include "sim_firmware.h"

// Block I/O positions on the boot machine: 0 the whole disk (no hard-drive
// node), 1 the ESP and 2 the FAT data partition (volumes 0 and 1; only the
// ESP holds \EFI\BOOT\BOOTAA64.EFI), 3 the OS partition, which has no file
// system the firmware reads. The typical machine has only the two volumes.
struct Machine {
  EFI_HANDLE Disk, Esp, Data, Os;
};
Machine AddTypicalMachine(SimFirmware &Fw);
Machine AddBootMachine(SimFirmware &Fw, bool WithOsPartition = true);
extern const SimPath DiskPath, EspHardDrive, DataHardDrive, OsHardDrive;
extern const char16_t *LoaderPath;

// Keys up to the record: the Home Volume, the BVSRD declined, the
// description and the loader path, each ended with Enter.
std::string TypicalSession(const std::string &Index = "0", const std::string &Description = "",
                           const std::string &Loader = "\\EFI\\BOOT\\BOOTAA64.EFI");
// Home Volume 0, the Boot Volume answers, an empty description, the loader
// path and the keys typed at the system root prompt.
std::string BootSession(const std::string &Step2, const std::string &Root = "\r",
                        const std::string &Loader = "\\EFI\\BOOT\\BOOTAA64.EFI");

// Every run, whatever happened in it, ends at the closing prompt with
// Exit(EFI_SUCCESS), every pool buffer freed exactly once, every file closed
// and, unless the run may stop early, every typed key read.
void ExpectCleanEnd(SimFirmware &Fw, SimEnding Ending, bool AllKeysRead = true);
// Types Keys and a closing key, runs the entry point and checks its end.
void RunToClosingPrompt(SimFirmware &Fw, const std::string &Keys = "");

// What a run of the dialogue left behind: the pool buffers are copied before
// the clean-up frees them; their pointers in State are NULL afterwards.
struct DialogueRun {
  DialogState State;
  bool BlockIoHeld;
  SimPath Record, HomeShort, BootShort;
  long HomeShortAt;  // where the short form starts in the full path; -1: none
  std::string Screen;
};
// Types Keys and a closing key, runs the dialogue and the common clean-up as
// the entry point does (without the banner), and checks the run's end.
DialogueRun RunDialogueSteps(SimFirmware &Fw, const std::string &Keys);

// Description "D", then TestPathsAndData: device paths of 8 bytes (the
// record's FilePathListLength) and 2 bytes of optional data. The last steps
// store it as it is and look into it only to compare it with listed entries.
extern const std::vector<UINT8> TestRecord;
extern const std::vector<UINT8> TestPathsAndData;
// Runs the dialogue's steps from the option number on, with Record (TestRecord
// unless given) and one listed volume that is an ESP, then the common
// clean-up, and checks the run's end.
void RunLastSteps(SimFirmware &Fw, const std::string &Keys,
                  const std::vector<UINT8> &Record = TestRecord);

// Records and device paths
SimPath BytesOf(const void *From, size_t Size);
// Attributes, FilePathListLength, the description, the loader's path, and
// the BVSRD with its FS type code when Boot is not empty.
SimPath RecordBytes(UINT16 FilePathListLength, const std::u16string &Description,
                    const SimPath &Home, const SimPath &Boot = {}, UINT16 FsTypeCode = 0);
// The loader's short form on the ESP, and a Boot Volume's with its root path.
SimPath EspShortForm();
SimPath BootShortForm(const SimPath &HardDrive, const std::u16string &Root = u"Ixo");

// Variables
std::u16string OptionName(UINT16 Number);
std::vector<UINT16> NumbersFrom(UINT32 First, UINT32 Last);
std::pair<std::u16string, std::string> GlobalKey(const std::u16string &Name);

// Texts
extern const std::string Banner, ClosingPrompt, ListLine, Retry;
extern const std::string NeedToCreate, SuccessLine, AbortReport;
// Everything from the announcement through the question; the question stays
// light cyan, so a following success line continues its run.
std::string Announcement(const std::string &Name);
std::string Typed(const std::string &Text);  // echoed input and its line break
// The warning before the announcement about an entry that starts the same
// thing, with the description as shown; it leaves the console in ATTR_NORMAL.
std::string DuplicateWarning(const std::string &Name, const std::string &Description);
std::string StatusDigits(EFI_STATUS Status);

size_t CallsOf(const SimFirmware &Fw, SimCall Call);
bool EndsWith(const std::string &Text, const std::string &End);

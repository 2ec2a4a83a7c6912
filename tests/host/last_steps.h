// Runs the dialogue's last two steps on a record already built, as the
// dialogue does after the load option step, then the common clean-up.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/dialogue.h"
#include "bootvars/boot_vars.h"
#include "console/colours.h"
#include "sim_firmware.h"

// Any bytes serve: the two steps store the record without looking into it.
inline const std::vector<UINT8> TestRecord = {0x01, 0x00, 0x00, 0x00, 0x1C, 0x00, 0x44,
                                              0x00, 0x00, 0x00, 0x04, 0x01, 0x2A, 0x00,
                                              0x7F, 0xFF, 0x04, 0x00, 0xAA, 0x55};

inline SimEnding RunLastSteps(SimFirmware &Fw) {
  DialogState State = {};
  return Fw.Call([&] {
    SetRole(ATTR_NORMAL);  // as the record step leaves the console
    State.LoadOption = static_cast<UINT8 *>(Fw.Allocate(TestRecord.size()));
    std::memcpy(State.LoadOption, TestRecord.data(), TestRecord.size());
    State.LoadOptionSize = TestRecord.size();
    if (ChooseOptionNumber(&State)) {
      ConfirmAndWrite(&State);
    }
    FinishRun(&State);
  });
}

inline std::u16string OptionName(UINT16 Number) {
  char Name[16];
  std::snprintf(Name, sizeof Name, "Boot%04X", Number);
  return std::u16string(Name, Name + 8);
}

inline std::vector<UINT16> NumbersFrom(UINT32 First, UINT32 Last) {
  std::vector<UINT16> Numbers;
  for (UINT32 N = First; N <= Last; N++) Numbers.push_back((UINT16)N);
  return Numbers;
}

inline const std::string NeedToCreate = "Need to create BootOrder.\r\n";
inline const std::string SuccessLine =
    "Load Option is created, saved in the FW NV storage and added to \"BootOrder\". :)\r\n";
inline const std::string AbortReport =
    "{ERROR}You have aborted Load Option creation.\r\n"
    "Nothing has been changed in the UEFI environment.\r\n";
inline const std::string ClosingText =
    "{NORMAL}Press <s> to shutdown or anything else (exc. <Enter>) to exit this app.\r\n";

// Everything from the announcement through the question; the question stays
// light cyan, so a following success line continues its run.
inline std::string Announcement(const std::string &Name) {
  return "Trying to set \"{HIGHLIGHT}" + Name +
         "{NORMAL}\" UEFI Load Option variable...\r\n"
         "{HIGHLIGHT}Are you sure you want to write the created Load Option\r\n"
         "into UEFI persistent storage?\r\nType \"y\" for \"yes\"\r\n";
}

// Every run ends the same way, whatever happened before.
inline void ExpectCleanEnd(SimFirmware &Fw, SimEnding Ending) {
  EXPECT_EQ(Ending, SimEnding::Exit);
  EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS);
  EXPECT_EQ(Fw.LiveBuffers(), 0u);
  EXPECT_TRUE(Fw.PoolErrors.empty()) << Fw.PoolErrors.front();
}

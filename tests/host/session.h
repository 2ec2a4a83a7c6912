// The user's side of a dialogue test: a typical machine, the keys of a
// typical session, and the checks that every run must pass at its end.
#pragma once
#include <string>

#include "sim_firmware.h"

// Two FAT partitions on one GPT disk behind PCI: the ESP (number 0) holds
// \EFI\BOOT\BOOTAA64.EFI, the data partition (number 1) holds nothing.
struct TypicalMachine {
  EFI_HANDLE Esp;
  EFI_HANDLE Data;
};
TypicalMachine AddTypicalMachine(SimFirmware &Fw);
extern const char16_t *LoaderPath;

// The Home Volume's number and Enter, and the answer to every question that
// follows it before the description (declining the BVSRD once it is asked).
std::string PickHomeVolume(const std::string &Index);
// Home Volume, description and loader path, each ended with Enter.
std::string TypicalSession(const std::string &Index = "0", const std::string &Description = "",
                           const std::string &Loader = "\\EFI\\BOOT\\BOOTAA64.EFI");
// The answers between the record's size line and the closing prompt (the
// refused write, once it is asked), for runs that build the record.
std::string KeysAfterRecord();

// Types the closing key and runs the application. Every run, whatever
// happened in it, must end at the closing prompt with Exit(EFI_SUCCESS),
// every pool buffer freed exactly once and every file closed.
void RunToClosingPrompt(SimFirmware &Fw);

extern const char *ClosingPrompt;

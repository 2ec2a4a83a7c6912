// SPDX-License-Identifier: BSD-2-Clause-Patent
// addbootentry for a running Linux: the firmware application's dialogue,
// unchanged, on the terminal, writing through efivarfs; or, with options, the
// same steps taking their answers from the command line.
#include <unistd.h>

#include <cstdio>

#include "app/parse_options.h"
#include "app/run.h"
#include "common/firmware_context.h"
#include "linux/command_line.h"
#include "linux/ending.h"
#include "linux/linux_services.h"
#include "linux/linux_volumes.h"
#include "linux/plain_output.h"
#include "linux/refusals.h"
#include "linux/run_report.h"
#include "linux/terminal.h"
#include "linux/volume_selector.h"
#include "volumes/volume_selector.h"

static void PrintLinuxUsage() {
  PrintUsage(0);
  std::printf("On Linux also:\n"
              "  --json               one JSON object on standard output; the dialogue's text on "
              "standard error\n"
              "  SEL                  a partition's block device (/dev/nvme0n1p1) or the mount "
              "point of its\n"
              "                       FAT file system (/boot/efi)\n"
              "Exit status: 0 the entry exists at the end, 1 refused or failed, 2 bad options.\n");
}

// A run that ends before its first question says why in one line on standard
// error (the parser has said it already when Why is empty); with --json the
// object on standard output says it too, as a failed run.
static int EndBeforeRun(bool Json, const std::string &Why, int Status) {
  if (!Why.empty()) std::fprintf(stderr, "%s\n", Why.c_str());
  if (Json) {
    RunReport Report = {};
    Report.Result = "failed";
    Report.Message = Utf16Of(Why.empty() ? LastPlainLine() : Why);
    std::printf("%s\n", RunReportJson(Report).c_str());
  }
  return Status;
}

static std::vector<const CHAR16 *> WordsOf(const CommandLine &Line) {
  std::vector<const CHAR16 *> Words;
  for (const std::u16string &Word : Line.Words) {
    Words.push_back(reinterpret_cast<const CHAR16 *>(Word.c_str()));
  }
  return Words;
}

static bool IsSelectorOption(const std::u16string &Word) {
  return Word == u"--volume" || Word == u"--boot-volume";
}

// The options are checked as the application will read them, said in plain
// lines: --help and --version end here, and a bad option before any question.
// A Linux selector stands in as a PARTUUID= until the volumes are read, which
// needs root, while --help does not.
static int CheckOptions(LinuxFirmware *Fw, const CommandLine &Line, RunOptions *Options) {
  static const std::u16string Placeholder = u"PARTUUID=00000000-01";
  CommandLine Checked = Line;
  for (size_t At = 1; At < Checked.Words.size(); At++) {
    // A word beginning with -- is no value: the parser says it is missing.
    if (!IsSelectorOption(Checked.Words[At - 1]) || Checked.Words[At].rfind(u"--", 0) == 0)
      continue;
    VolumeSelector Selector;
    if (IsLinuxSelector(Utf8Of(Checked.Words[At]))) {
      Checked.Words[At] = Placeholder;
    } else if (!ParseVolumeSelector(reinterpret_cast<const CHAR16 *>(Checked.Words[At].c_str()),
                                    &Selector)) {
      // The parser's own line names only the selectors the firmware has.
      return EndBeforeRun(Line.Json,
                          "E: " + Utf8Of(Checked.Words[At - 1]) +
                              ": takes PARTUUID=<GUID>, PARTUUID=<8 hex>-<2 hex>, a block device "
                              "(/dev/...) or the mount point of a FAT file system",
                          EXIT_USAGE);
    }
  }
  std::vector<const CHAR16 *> Words = WordsOf(Checked);
  InstallPlainOutput(&Fw->SystemTable, STDERR_FILENO);
  static UINT8 Image;
  InitFirmwareContext(&Image, &Fw->SystemTable);
  if (ParseRunOptions(Words.size(), Words.data(), 0, Options) != EFI_SUCCESS) {
    return EndBeforeRun(Line.Json, "", EXIT_USAGE);
  }
  if (Options->Help || Options->Version) {
    std::fflush(stdout);
    InstallPlainOutput(&Fw->SystemTable, STDOUT_FILENO);
    Options->Help ? PrintLinuxUsage() : PrintVersion();
    return EXIT_WRITTEN;
  }
  if (Line.Json && !Options->Unattended) {
    return EndBeforeRun(Line.Json, "E: --json: needs --loader (which makes the run unattended)",
                        EXIT_USAGE);
  }
  return -1;
}

// The Linux selectors of --volume and --boot-volume as the PARTUUID= form.
static int ResolveSelectors(const LinuxFirmware &Fw, CommandLine *Line) {
  for (size_t At = 1; At < Line->Words.size(); At++) {
    const std::u16string &Option = Line->Words[At - 1];
    std::string Value = Utf8Of(Line->Words[At]);
    if (!IsSelectorOption(Option) || !IsLinuxSelector(Value)) continue;
    std::string Selector;
    std::string Why = PartitionSelector(Fw, Value, &Selector);
    if (!Why.empty()) {
      return EndBeforeRun(Line->Json, "E: " + Utf8Of(Option) + " " + Value + ": " + Why,
                          EXIT_USAGE);
    }
    Line->Words[At] = std::u16string(Selector.begin(), Selector.end());
  }
  return -1;
}

int main(int Count, char **Arguments) {
  static LinuxFirmware Firmware;  // the services keep it to the end
  CommandLine Line;
  std::string Why = ReadCommandLine(Count, Arguments, &Line);
  if (!Why.empty()) {
    return EndBeforeRun(Line.Json, "E: " + Why, EXIT_USAGE);
  }
  RunOptions Options = {};
  int Ended = CheckOptions(&Firmware, Line, &Options);
  if (Ended >= 0) return Ended;
  std::string Refusal = RefusalBeforeDialogue("", geteuid());
  if (Refusal.empty() && Options.Unattended && !Options.Yes && !Options.DryRun &&
      !isatty(STDIN_FILENO)) {
    Refusal =
        "standard input is not a terminal, so the confirmation cannot be asked; add --yes to write "
        "without asking.";
  }
  if (!Refusal.empty()) {
    return EndBeforeRun(Line.Json, "addbootentry: " + Refusal, EXIT_NOT_WRITTEN);
  }
  FindVolumes(&Firmware);
  Ended = ResolveSelectors(Firmware, &Line);
  if (Ended >= 0) return Ended;
  Firmware.Json = Line.Json;
  InstallServices(&Firmware);
  CatchEndingSignals();
  InstallTerminal(&Firmware.SystemTable, STDIN_FILENO, Line.Json ? STDERR_FILENO : STDOUT_FILENO);
  static UINT8 Image;  // the application's handle: any address of its own
  std::vector<const CHAR16 *> Words = WordsOf(Line);
  RunApplication(&Image, &Firmware.SystemTable, Words.size(), Words.data(), nullptr, 0);
  EndProgram(ExitStatusOf(Firmware.Outcome));  // not reached: the application leaves through Exit
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/run_ending.h"

#include <cstdio>
#include <cstring>

#include "common/run_outcome.h"
#include "linux/ending.h"

bool ReadRunOutcome(const UINT8 *Data, UINTN Size, RunReport *Report) {
  if (Data == nullptr) return false;
  UINTN At = 0;
  Report->Message.clear();
  while (Size - At >= sizeof(CHAR16) && (Data[At] != 0 || Data[At + 1] != 0)) {
    Report->Message.push_back((char16_t)(Data[At] | Data[At + 1] << 8));
    At += sizeof(CHAR16);
  }
  if (Size - At < sizeof(CHAR16)) return false;  // the message has no NUL
  At += sizeof(CHAR16);
  RunOutcome Outcome;
  if (Size - At < sizeof Outcome) return false;
  std::memcpy(&Outcome, Data + At, sizeof Outcome);
  At += sizeof Outcome;
  if (Outcome.Signature != RUN_OUTCOME_SIGNATURE || Outcome.LoadOptionSize > Size - At)
    return false;
  static const char *const Results[] = {"created", "unchanged", "dry-run", "failed"};
  if (Outcome.Result < RUN_RESULT_CREATED || Outcome.Result > RUN_RESULT_FAILED) return false;
  Report->Result = Results[Outcome.Result - RUN_RESULT_CREATED];
  bool Failed = Outcome.Result == RUN_RESULT_FAILED;
  Report->HasNumber = !Failed;
  Report->Number = Outcome.OptionNumber;
  Report->BootNext = !Failed && Outcome.BootNextSet;
  Report->LoadOption.assign(Data + At, Data + At + Outcome.LoadOptionSize);
  return true;
}

static std::vector<UINT16> BootOrderOf(LinuxFirmware *Fw) {
  UINT16 Order[4096];
  UINTN Size = sizeof Order;
  UINT32 Attributes = 0;
  EFI_STATUS Status = Fw->RuntimeServices.GetVariable(u"BootOrder", &EFI_GLOBAL_VARIABLE_GUID,
                                                      &Attributes, &Size, Order);
  if (Status != EFI_SUCCESS) return {};
  return std::vector<UINT16>(Order, Order + Size / sizeof(UINT16));
}

int EndingOfRun(LinuxFirmware *Fw, const UINT8 *Data, UINTN Size) {
  RunReport Report;
  if (!ReadRunOutcome(Data, Size, &Report)) return EXIT_NOT_WRITTEN;
  if (Fw->Json) {
    Report.BootOrder = BootOrderOf(Fw);
    std::string Json = RunReportJson(Report) + "\n";
    std::fwrite(Json.data(), 1, Json.size(), stdout);
    std::fflush(stdout);
  }
  return std::strcmp(Report.Result, "failed") == 0 ? EXIT_NOT_WRITTEN : EXIT_WRITTEN;
}

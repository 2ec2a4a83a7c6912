// SPDX-License-Identifier: BSD-2-Clause-Patent
// What an unattended run hands back through Exit's ExitData, for a caller that
// wants more than the status (the Linux program's JSON; a Shell shows the
// text). ExitData is one pool buffer:
//   the closing message, CHAR16, NUL-terminated: the line that says what
//   happened (the same line the console showed last);
//   then a RunOutcome record, at the next even offset (no alignment: read it
//   with a byte copy);
//   then RunOutcome.LoadOptionSize bytes: the load option of the entry that
//   exists at the end (the new one, the identical one found, or, for a dry
//   run, the one that would have been written); none for a failed run.
// ExitDataSize covers all three. A dialogue run (no options) passes no
// ExitData.
#pragma once
#include "efi.h"

#define RUN_OUTCOME_SIGNATURE 0x4F454241U  // "ABEO", little-endian

enum RunResult : UINT8 {
  RUN_RESULT_CREATED = 1,    // a new Boot#### was written and appended to BootOrder
  RUN_RESULT_UNCHANGED = 2,  // BootOrder already listed an identical entry: nothing written
  RUN_RESULT_DRY_RUN = 3,    // --dry-run: the record and its variable, nothing written
  RUN_RESULT_FAILED = 4,     // refused or a firmware call failed: Exit's status says which
};

struct RunOutcome {
  UINT32 Signature;       // RUN_OUTCOME_SIGNATURE
  UINT8 Result;           // RunResult
  UINT8 BootNextSet;      // TRUE when BootNext now names OptionNumber
  UINT16 OptionNumber;    // the entry's #### (meaningless for a failed run)
  UINT32 LoadOptionSize;  // bytes that follow
};
static_assert(sizeof(RunOutcome) == 12, "ExitData layout");

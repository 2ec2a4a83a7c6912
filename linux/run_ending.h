// SPDX-License-Identifier: BSD-2-Clause-Patent
// How an unattended run ends on Linux: the outcome that the application
// hands to Exit (common/run_outcome.h) becomes the exit status and, with
// --json, the JSON object on standard output.
#pragma once
#include "linux/linux_firmware.h"
#include "linux/run_report.h"

// false when Data (Size bytes, as Exit got them) holds no outcome: a
// dialogue's run, or bytes cut short or without the record's signature.
bool ReadRunOutcome(const UINT8 *Data, UINTN Size, RunReport *Report);

// The exit status of a run whose Exit carried Data: 0 when the entry exists
// at the end (created, already there, or shown by a dry run), 1 otherwise.
// Prints the JSON object first when Fw asks for it, BootOrder read through
// Fw's own services.
int EndingOfRun(LinuxFirmware *Fw, const UINT8 *Data, UINTN Size);

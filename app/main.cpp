// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/run.h"
#include "common/run_options.h"

extern "C" EFI_STATUS EFIAPI EfiMain(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  return RunApplication(ImageHandle, SystemTable, 0, nullptr, nullptr, RUN_ACCEPTS_THEN);
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// BootNext: the entry the boot manager starts once, at the next boot.
#pragma once
#include "efi.h"

// Writes BootNext (non-volatile, boot-service and runtime access) naming
// Boot#### of Number and says so; FALSE after the report of a failed write.
BOOLEAN SetBootNext(UINT16 Number);

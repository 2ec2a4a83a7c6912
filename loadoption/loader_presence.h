// SPDX-License-Identifier: BSD-2-Clause-Patent
// Proves that the loader file exists on the Home Volume by opening it.
#pragma once
#include "efi.h"

// TRUE when Path opens read-only relative to the volume's root directory.
// Nothing is read; the file and the root directory are closed again.
BOOLEAN CheckLoaderPresence(EFI_HANDLE homevolh, const CHAR16 *Path);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Proves that the loader file exists on the Home Volume by opening it.
#pragma once
#include "efi.h"

// TRUE when Path opens read-only relative to the volume's root directory.
// Nothing is read; the file and the root directory are closed again.
BOOLEAN CheckLoaderPresence(EFI_HANDLE homevolh, const CHAR16 *Path);
// The same proof without a word on the console, for a search of every volume:
// a volume that cannot be opened does not hold the file.
BOOLEAN LoaderIsOn(EFI_HANDLE Volume, const CHAR16 *Path);

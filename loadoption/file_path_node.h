// SPDX-License-Identifier: BSD-2-Clause-Patent
// The header of a File Path media node whose PathName has been typed in place.
#pragma once
#include "efi.h"

// PathBytes counts the characters and their NUL. Length is written byte by
// byte, low byte first, as the node may sit at any offset.
void FillFilePathHeader(EFI_DEVICE_PATH_PROTOCOL *Header, UINTN PathBytes);

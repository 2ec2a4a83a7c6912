// SPDX-License-Identifier: BSD-2-Clause-Patent
// Colour roles. Each role replaces the low seven bits (foreground and
// background) of the attribute found at start-up and keeps the bits above.
#pragma once
#include "efi.h"

#define ATTR_BANNER 0x30U      // black on cyan
#define ATTR_NORMAL 0x03U      // cyan on black
#define ATTR_HIGHLIGHT 0x0BU   // light cyan on black
#define ATTR_ERROR 0x0CU       // light red on black
#define ATTR_LIST_ERROR 0x04U  // red on black

void SetRole(UINT32 Role);
void RestoreSavedAttribute();

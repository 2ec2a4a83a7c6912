// SPDX-License-Identifier: BSD-2-Clause-Patent
// The screen as the application takes it over at start-up and hands it back.
#pragma once
#include "efi.h"

// A clean screen with the cursor at its top-left corner, and a visible cursor.
void PrepareScreen();
// Puts back the cursor visibility found at entry.
void RestoreCursorVisibility();

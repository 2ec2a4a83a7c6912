// SPDX-License-Identifier: BSD-2-Clause-Patent
// Typed answers: a line with Backspace as its only editing.
#pragma once
#include "efi.h"

// Capacity counts the NUL. Returns the number of characters kept. A console
// that gives no more keys ends the line as Enter would.
UINTN GetStringFromUser(CHAR16 *Buffer, UINTN Capacity);
// The same, but an empty answer puts Default (with its NUL, shorter than
// Capacity) in Buffer and counts its characters. Nothing more is shown.
UINTN GetStringOrDefault(CHAR16 *Buffer, UINTN Capacity, const CHAR16 *Default);

// Everything the user answers passes through these routines. Each answer is
// read only after waiting on the console's key event; no call keeps state.
#pragma once
#include "efi.h"

// The key that ends every typed answer.
#define KEY_ENTER 0x0D

// Blocks until a key arrives; returns its character (0 for keys that carry
// only a scan code).
CHAR16 WaitForKeyChar();
// The same, with the scan code: only the line editor looks at it.
EFI_INPUT_KEY WaitForKeyStroke();
// Drops every key typed so far without waiting, so that the next key read is
// one pressed after the caller's question appears.
void DiscardWaitingKeys();

// Line editor. Capacity counts the NUL. Returns the number of characters kept.
UINTN GetStringFromUser(CHAR16 *Buffer, UINTN Capacity);
// The same, but an empty answer puts Default (with its NUL, shorter than
// Capacity) in Buffer and counts its characters. Nothing more is shown.
UINTN GetStringOrDefault(CHAR16 *Buffer, UINTN Capacity, const CHAR16 *Default);
// Hexadecimal index below Limit, with a retry question. EFI_NOT_READY when
// the user declines to try again.
EFI_STATUS GetIndexFromUser(const CHAR16 *Prompt, UINTN *Index, UINTN Limit);
// TRUE only for 'Y' or 'y'.
BOOLEAN AskYesNo(const CHAR16 *Prompt);

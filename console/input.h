// Everything the user answers passes through these routines. Each answer is
// read only after waiting on the console's key event; no call keeps state.
#pragma once
#include "efi.h"

// The key that ends every typed answer.
#define KEY_ENTER 0x0D

// Blocks until a key arrives; EFI_SUCCESS with the key, or, when the console
// cannot wait for one and none is waiting (or no key ever reads), the failed
// call's status and a key without character or scan code.
EFI_STATUS WaitForKeyStroke(EFI_INPUT_KEY *Key);
// The key's character (0 for keys that carry only a scan code, and when the
// console gave no key: every question takes that as no).
CHAR16 WaitForKeyChar();
// Drops every key typed so far without waiting, so that the next key read is
// one pressed after the caller's question appears.
void DiscardWaitingKeys();

// Line editor. Capacity counts the NUL. Returns the number of characters kept.
// A console that gives no more keys ends the line as Enter would.
UINTN GetStringFromUser(CHAR16 *Buffer, UINTN Capacity);
// The same, but an empty answer puts Default (with its NUL, shorter than
// Capacity) in Buffer and counts its characters. Nothing more is shown.
UINTN GetStringOrDefault(CHAR16 *Buffer, UINTN Capacity, const CHAR16 *Default);
// Hexadecimal index below Limit, with a retry question. EFI_NOT_READY when
// the user declines to try again; the wait's status when the console gives
// no key.
EFI_STATUS GetIndexFromUser(const CHAR16 *Prompt, UINTN *Index, UINTN Limit);
// TRUE only for 'Y' or 'y'.
BOOLEAN AskYesNo(const CHAR16 *Prompt);

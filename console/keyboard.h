// SPDX-License-Identifier: BSD-2-Clause-Patent
// Keys as every question reads them. Each key is read only after waiting on
// the console's key event.
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

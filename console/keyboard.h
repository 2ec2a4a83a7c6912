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
// An answer of an unattended run, as the keys a user would type for it: read
// by the questions before any key of the console, and echoed as those would
// be. Keys is copied; FALSE when it does not fit beside the answers not yet
// read (an answer is one question's, so that never happens).
BOOLEAN AnswerWith(const CHAR16 *Keys);
// The answer to a line question: Text (NULL: the empty line, which takes
// the question's default) and Enter.
BOOLEAN AnswerLine(const CHAR16 *Text);
// The answer to an index question: Index in hexadecimal, as the listings
// show it, and Enter. FALSE for an index no one could type.
BOOLEAN AnswerIndex(UINTN Index);
// Drops answers not read (a step that failed before its question).
void DropAnswers();
// Drops every key typed so far without waiting, so that the next key read is
// one pressed after the caller's question appears.
void DiscardWaitingKeys();

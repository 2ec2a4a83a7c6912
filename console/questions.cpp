// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "console/questions.h"

#include "console/colours.h"
#include "console/keyboard.h"
#include "console/output.h"

#define MAX_INDEX_DIGITS 4

// Echo of a one-key answer: the key, or '?' for a control key, and a line break.
static void EchoAnswerKey(CHAR16 C) {
  CHAR16 Echo[4] = {C > 0x20 ? C : u'?', u'\r', u'\n', 0};
  Print(Echo);
}

BOOLEAN IsYes(CHAR16 C) { return C == u'Y' || C == u'y'; }

// Value of a hexadecimal digit key, or -1 for any other key.
static INT32 HexDigitValue(CHAR16 C) {
  if (C >= u'0' && C <= u'9') {
    return C - 0x30;
  }
  if (C >= u'A' && C <= u'F') {
    return C - 0x37;
  }
  if (C >= u'a' && C <= u'f') {
    return C - 0x57;
  }
  return -1;
}

// Reads digits up to Enter; only the first four count and are echoed. A
// console that gives no key ends the line with the wait's status.
static EFI_STATUS ReadHexIndex(UINTN *Value) {
  SetRole(ATTR_HIGHLIGHT);
  UINTN Digits = 0;
  *Value = 0;
  EFI_STATUS Status;
  for (;;) {
    EFI_INPUT_KEY Key;
    Status = WaitForKeyStroke(&Key);
    CHAR16 C = Key.UnicodeChar;
    if (C == KEY_ENTER || Status != EFI_SUCCESS) {
      break;
    }
    INT32 Digit = HexDigitValue(C);
    if (Digit < 0) {
      continue;
    }
    Digits++;
    if (Digits <= MAX_INDEX_DIGITS) {
      CHAR16 Echo[2] = {C, 0};
      Print(Echo);
      *Value = (*Value << 4) | (UINTN)Digit;
    }
  }
  SetRole(ATTR_NORMAL);
  Print(u"\r\n");
  return Status;
}

EFI_STATUS GetIndexFromUser(const CHAR16 *Prompt, UINTN *Index, UINTN Limit) {
  Print(Prompt);
  for (;;) {
    UINTN Value;
    EFI_STATUS Status = ReadHexIndex(&Value);
    if (Status != EFI_SUCCESS) {
      return Status;
    }
    if (Value < Limit) {
      *Index = Value;
      return EFI_SUCCESS;
    }
    SetRole(ATTR_ERROR);
    Print(u"Wrong index, type \"y\" for trying again: ");
    SetRole(ATTR_NORMAL);
    CHAR16 C = WaitForKeyChar();
    EchoAnswerKey(C);
    if (!IsYes(C)) {
      return EFI_NOT_READY;
    }
  }
}

BOOLEAN AskYesNo(const CHAR16 *Prompt) {
  Print(Prompt);
  CHAR16 C = WaitForKeyChar();
  EchoAnswerKey(C);
  return IsYes(C);
}

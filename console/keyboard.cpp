// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "console/keyboard.h"

#include "common/firmware_context.h"

// More keys than a person types ahead; a console that never runs dry (a
// stuck key, a line noise source) stops the discard here instead of hanging.
#define MAX_DISCARDED_KEYS 256
// Far more key events in a row without a key than a terminal's escape
// sequences cause: the console is broken.
#define MAX_EMPTY_KEY_EVENTS 1024

// The longest answer: a loader's path and its Enter.
#define ANSWER_CAPACITY 80
// The index question keeps four digits.
#define MAX_INDEX_VALUE 0xFFFFU

static CHAR16 Answer[ANSWER_CAPACITY];
static UINTN AnswerRead = 0;
static UINTN AnswerLength = 0;

BOOLEAN AnswerWith(const CHAR16 *Keys) {
  UINTN Length = 0;
  while (Keys[Length] != 0) {
    Length++;
  }
  if (AnswerRead == AnswerLength) {
    DropAnswers();
  }
  if (Length > ANSWER_CAPACITY - AnswerLength) {
    return FALSE;
  }
  for (UINTN I = 0; I < Length; I++) {
    Answer[AnswerLength++] = Keys[I];
  }
  return TRUE;
}

BOOLEAN AnswerLine(const CHAR16 *Text) {
  return AnswerWith(Text != nullptr ? Text : u"") && AnswerWith(u"\r");
}

BOOLEAN AnswerIndex(UINTN Index) {
  if (Index > MAX_INDEX_VALUE) {
    return FALSE;
  }
  CHAR16 Digits[5];
  UINTN Count = 0;
  do {
    Digits[Count++] = u"0123456789ABCDEF"[Index & 0xF];
    Index >>= 4;
  } while (Index != 0);
  CHAR16 Keys[6];
  for (UINTN I = 0; I < Count; I++) {
    Keys[I] = Digits[Count - 1 - I];
  }
  Keys[Count] = u'\r';
  Keys[Count + 1] = 0;
  return AnswerWith(Keys);
}

void DropAnswers() {
  AnswerRead = 0;
  AnswerLength = 0;
}

EFI_STATUS WaitForKeyStroke(EFI_INPUT_KEY *Key) {
  if (AnswerRead < AnswerLength) {
    *Key = {0, Answer[AnswerRead++]};
    return EFI_SUCCESS;
  }
  EFI_SIMPLE_TEXT_INPUT_PROTOCOL *ConIn = gFirmware.ConIn;
  for (UINTN EmptyEvents = 1;; EmptyEvents++) {
    EFI_EVENT KeyEvent = ConIn->WaitForKey;
    UINTN Index;
    EFI_STATUS Waited = gFirmware.BootServices->WaitForEvent(1, &KeyEvent, &Index);
    EFI_STATUS Read = ConIn->ReadKeyStroke(ConIn, Key);
    if (Read == EFI_SUCCESS) {
      return EFI_SUCCESS;
    }
    // A key event without a readable key (the firmware lost it, or another
    // reader took it) is not an answer: wait for the next one. A wait that
    // failed, though, fails again at once, and an event that stays signalled
    // over a key that never reads comes back at once too: waiting on would
    // spin for ever.
    if (Waited != EFI_SUCCESS || EmptyEvents == MAX_EMPTY_KEY_EVENTS) {
      *Key = {0, 0};
      return Waited != EFI_SUCCESS ? Waited : Read;
    }
  }
}

CHAR16 WaitForKeyChar() {
  EFI_INPUT_KEY Key;
  WaitForKeyStroke(&Key);  // a console that gave no key gave character 0
  return Key.UnicodeChar;
}

void DiscardWaitingKeys() {
  EFI_SIMPLE_TEXT_INPUT_PROTOCOL *ConIn = gFirmware.ConIn;
  // Reading without waiting answers EFI_NOT_READY once the queue is empty.
  // Any other failure also means there is nothing more to take; Reset would
  // empty the queue too, but on EDK2 it resets the serial device as well.
  for (UINTN Discarded = 0; Discarded < MAX_DISCARDED_KEYS; Discarded++) {
    EFI_INPUT_KEY Key;
    if (ConIn->ReadKeyStroke(ConIn, &Key) != EFI_SUCCESS) {
      return;
    }
  }
}

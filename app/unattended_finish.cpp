// SPDX-License-Identifier: BSD-2-Clause-Patent
// How an unattended run ends: never a question, never a wait for a key. The
// closing line goes to the console and, with the outcome record, to the
// caller as Exit's ExitData (common/run_outcome.h).
#include "app/held_buffers.h"
#include "app/unattended.h"
#include "common/firmware_context.h"
#include "common/pool.h"
#include "common/run_outcome.h"
#include "console/colours.h"
#include "console/hex_digits.h"
#include "console/output.h"
#include "console/screen.h"
#include "loadoption/load_option_reader.h"

// "Boot0003 "<description>" already boots this; nothing written (label asked:
// "<label>"); BootNext set", descriptions cut to DESCRIPTION_SHOWN characters.
#define DESCRIPTION_SHOWN 40
#define MESSAGE_CAPACITY 200

struct MessageText {
  CHAR16 Text[MESSAGE_CAPACITY];
  UINTN Length;
};

// Text beyond the capacity is cut; a character that would move the cursor
// shows as '?', as any foreign text does.
static void Append(MessageText *Message, const CHAR16 *Text, UINTN Most = MESSAGE_CAPACITY) {
  for (UINTN I = 0; Text[I] != 0 && I < Most && Message->Length + 1 < MESSAGE_CAPACITY; I++) {
    CHAR16 C = Text[I];
    Message->Text[Message->Length++] = C < 0x20 || C == 0x7F ? u'?' : C;
  }
  Message->Text[Message->Length] = 0;
}

static BOOLEAN SameText(const CHAR16 *A, const CHAR16 *B) {
  while (*A != 0 && *A == *B) {
    A++;
    B++;
  }
  return *A == *B;
}

// The entry's own description: in an unchanged run, the one found.
static const CHAR16 *EntryDescription(const DialogState *State) {
  LoadOptionParts Parts;
  if (State->Result == RUN_RESULT_UNCHANGED &&
      SplitLoadOption(State->LoadOption, State->LoadOptionSize, &Parts)) {
    return Parts.Description;
  }
  return State->Description;
}

static void ComposeMessage(const DialogState *State, EFI_STATUS Status, MessageText *Message) {
  Message->Length = 0;
  if (State->Result == 0) {
    CHAR16 Digits[17] = {};
    WriteHexDigits(Status, Digits, 8);
    Append(Message, u"E: the run failed, nothing more done, S: ");
    Append(Message, Digits);
    return;
  }
  const CHAR16 *Description = EntryDescription(State);
  Append(Message, State->VariableName);
  Append(Message, u" \"");
  Append(Message, Description, DESCRIPTION_SHOWN);
  if (State->Result == RUN_RESULT_CREATED) {
    Append(Message, u"\" created and added to BootOrder");
  } else if (State->Result == RUN_RESULT_DRY_RUN) {
    Append(Message, u"\" would be created; dry run, nothing written");
  } else {
    Append(Message, u"\" already boots this; nothing written");
    if (!SameText(Description, State->Description)) {
      Append(Message, u" (label asked: \"");
      Append(Message, State->Description, DESCRIPTION_SHOWN);
      Append(Message, u"\")");
    }
  }
  if (State->BootNextSet) {
    Append(Message, u"; BootNext set");
  }
}

static void CopyBytes(UINT8 *To, const void *From, UINTN Size) {
  const UINT8 *Bytes = (const UINT8 *)From;
  for (UINTN I = 0; I < Size; I++) {
    To[I] = Bytes[I];
  }
}

// The message, the record, the entry's bytes; NULL (no ExitData) when the
// pool has no room: the status still tells the caller what happened.
static CHAR16 *BuildExitData(const DialogState *State, const MessageText *Message, UINTN *Size) {
  RunOutcome Outcome = {};
  Outcome.Signature = RUN_OUTCOME_SIGNATURE;
  Outcome.Result = State->Result != 0 ? State->Result : (UINT8)RUN_RESULT_FAILED;
  Outcome.BootNextSet = State->BootNextSet;
  Outcome.OptionNumber = State->OptionNumber;
  Outcome.LoadOptionSize = State->Result != 0 ? (UINT32)State->LoadOptionSize : 0;
  UINTN TextBytes = 2 * (Message->Length + 1);
  *Size = TextBytes + sizeof Outcome + Outcome.LoadOptionSize;
  UINT8 *Data = nullptr;
  if (AllocatePoolOrNull(*Size, (VOID **)&Data) != EFI_SUCCESS || Data == nullptr) {
    FreePoolToNull((VOID **)&Data);  // a warning still handed a buffer out
    *Size = 0;
    return nullptr;
  }
  CopyBytes(Data, Message->Text, TextBytes);
  CopyBytes(Data + TextBytes, &Outcome, sizeof Outcome);
  CopyBytes(Data + TextBytes + sizeof Outcome, State->LoadOption, Outcome.LoadOptionSize);
  return (CHAR16 *)Data;
}

static EFI_STATUS RunStatus(const DialogState *State) {
  if (State->Result != 0) {
    return EFI_SUCCESS;
  }
  EFI_STATUS Noted = NotedFailure();
  return EFI_ERROR(Noted) ? Noted : EFI_ABORTED;
}

void FinishUnattendedRun(DialogState *State) {
  EFI_STATUS Status = RunStatus(State);
  MessageText Message;
  ComposeMessage(State, Status, &Message);
  SetRole(Status == EFI_SUCCESS ? ATTR_HIGHLIGHT : ATTR_ERROR);
  Print(Message.Text);
  SetRole(ATTR_NORMAL);
  Print(u"\r\n");
  UINTN Size = 0;
  CHAR16 *ExitData = BuildExitData(State, &Message, &Size);
  FreeHeldBuffers(State);
  RestoreSavedAttribute();
  RestoreCursorVisibility();

  // A run that failed never resets: a stick that cannot do its work must
  // not start it again and again.
  UINT8 Then = State->Options->Then;
  if (Status == EFI_SUCCESS && Then != RUN_THEN_EXIT) {
    FreePoolToNull((VOID **)&ExitData);  // no one would receive it
    Size = 0;
    gFirmware.RuntimeServices->ResetSystem(
        Then == RUN_THEN_SHUTDOWN ? EfiResetShutdown : EfiResetCold, EFI_SUCCESS, 0, nullptr);
  }
  gFirmware.BootServices->Exit(gFirmware.ImageHandle, Status, Size, ExitData);
}

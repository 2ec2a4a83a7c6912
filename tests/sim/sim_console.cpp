// SPDX-License-Identifier: BSD-2-Clause-Patent
// Keyboard and text console of the simulated firmware.
#include <cstdio>
#include <string_view>

#include "sim_firmware.h"

static EFI_STATUS EFIAPI SimWaitForEvent(UINTN Count, EFI_EVENT *Events, UINTN *Index) {
  SimFirmware &S = Sim();
  S.Record(SimCall::WaitForEvent, CALLER);
  if (Count != 1 || Events[0] != S.ConIn.WaitForKey) return EFI_INVALID_PARAMETER;
  // The user has nothing left to type: a real machine would wait forever.
  if (S.NextKey >= S.Keys.size()) S.End(SimEnding::KeysRanOut);
  EFI_STATUS Status;
  if (S.ShouldFail(SimCall::WaitForEvent, &Status)) return Status;
  if (!S.Mode.CursorVisible) S.WaitsWithCursorHidden++;
  S.AttributeAtWaits.push_back((UINT32)S.Mode.Attribute);
  if (S.KeysArrived <= S.NextKey) S.KeysArrived = S.NextKey + 1;  // the user presses one
  *Index = 0;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI SimReadKeyStroke(EFI_SIMPLE_TEXT_INPUT_PROTOCOL *, EFI_INPUT_KEY *Key) {
  SimFirmware &S = Sim();
  EFI_STATUS Status;
  if (S.Fails(SimCall::ReadKeyStroke, CALLER, &Status)) return Status;
  if (S.NextKey >= S.KeysArrived) return EFI_NOT_READY;
  *Key = S.Keys[S.NextKey++];
  return EFI_SUCCESS;
}

static void BlankRow(SimFirmware &S, UINTN Row) {
  SimCell *First = &S.Cells[((S.TopRow + Row) % S.Rows) * S.Columns];
  for (UINTN I = 0; I < S.Columns; I++) First[I] = {u' ', (UINT32)S.Mode.Attribute};
}

// The whole screen is touched only when it is first written, or cleared; a
// scroll turns the ring of rows by one and blanks the new bottom row.
static void PrepareGrid(SimFirmware &S) {
  if (!S.KeepsCells || S.Cells.size() == S.Columns * S.Rows) return;
  S.Cells.assign(S.Columns * S.Rows, {u' ', (UINT32)S.Mode.Attribute});
  S.TopRow = 0;
}

static void NextRow(SimFirmware &S) {
  if (S.Mode.CursorRow + 1 < (INT32)S.Rows) {
    S.Mode.CursorRow++;
    return;
  }
  S.TopRow = (S.TopRow + 1) % S.Rows;
  if (S.KeepsCells) BlankRow(S, S.Rows - 1);
}

static void Show(SimFirmware &S, CHAR16 C) {
  INT32 &Column = S.Mode.CursorColumn;
  if (C == u'\r') {
    Column = 0;
  } else if (C == u'\n') {
    NextRow(S);
  } else if (C == u'\b') {
    if (Column > 0) Column--;
  } else {
    if (S.KeepsCells) {
      UINTN Row = (S.TopRow + (UINTN)S.Mode.CursorRow) % S.Rows;
      S.Cells[Row * S.Columns + (UINTN)Column] = {C, (UINT32)S.Mode.Attribute};
    }
    if (++Column == (INT32)S.Columns) {
      Column = 0;
      NextRow(S);
    }
  }
}

static EFI_STATUS EFIAPI SimOutputString(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, const CHAR16 *Text) {
  SimFirmware &S = Sim();
  PrepareGrid(S);
  const CHAR16 *End = Text;
  for (; *End != 0; End++) Show(S, *End);
  if (!S.ArrivalText.empty() &&
      std::u16string_view(Text, End - Text).find(S.ArrivalText) != std::u16string_view::npos) {
    S.KeysArrived = S.ArrivalKeys;
    S.ArrivalText.clear();
  }
  // Appended in one piece: a fuzzer prints a great deal.
  UINT32 Attribute = (UINT32)S.Mode.Attribute;
  if (!S.Transcript.empty() && S.Transcript.back().Attribute == Attribute) {
    S.Transcript.back().Text.append(Text, End);
  } else if (End != Text) {
    S.Transcript.push_back({Attribute, std::u16string(Text, End)});
  }
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI SimClearScreen(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *) {
  SimFirmware &S = Sim();
  EFI_STATUS Status;
  if (S.Fails(SimCall::ClearScreen, CALLER, &Status)) return Status;
  S.Cells.clear();
  PrepareGrid(S);
  S.Mode.CursorColumn = 0;
  S.Mode.CursorRow = 0;
  return S.Success();
}

static EFI_STATUS EFIAPI SimEnableCursor(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, BOOLEAN Visible) {
  SimFirmware &S = Sim();
  EFI_STATUS Status;
  if (S.Fails(SimCall::EnableCursor, CALLER, &Status)) return Status;
  S.Mode.CursorVisible = Visible;
  return S.Success();
}

static EFI_STATUS EFIAPI SimQueryMode(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, UINTN ModeNumber,
                                      UINTN *Columns, UINTN *Rows) {
  SimFirmware &S = Sim();
  EFI_STATUS Status;
  if (S.Fails(SimCall::QueryMode, CALLER, &Status)) return Status;
  if (ModeNumber >= (UINTN)S.Mode.MaxMode) return EFI_UNSUPPORTED;
  *Columns = S.Columns;
  *Rows = S.Rows;
  return S.Success();
}

static EFI_STATUS EFIAPI SimSetAttribute(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, UINTN Attribute) {
  Sim().Mode.Attribute = (INT32)Attribute;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI SimSetCursorPosition(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, UINTN Column,
                                              UINTN Row) {
  SimFirmware &S = Sim();
  if (Column >= S.Columns || Row >= S.Rows) return EFI_UNSUPPORTED;
  S.Mode.CursorColumn = (INT32)Column;
  S.Mode.CursorRow = (INT32)Row;
  return EFI_SUCCESS;
}

void InstallSimConsole(SimFirmware &S) {
  S.ConIn.ReadKeyStroke = SimReadKeyStroke;
  S.ConIn.WaitForKey = &S.ConIn;  // any unique value serves as the event
  S.ConOut.OutputString = SimOutputString;
  S.ConOut.QueryMode = SimQueryMode;
  S.ConOut.SetAttribute = SimSetAttribute;
  S.ConOut.ClearScreen = SimClearScreen;
  S.ConOut.EnableCursor = SimEnableCursor;
  S.ConOut.SetCursorPosition = SimSetCursorPosition;
  S.ConOut.Mode = &S.Mode;
  S.BootServices.WaitForEvent = SimWaitForEvent;
}

void SimFirmware::Type(const std::string &Typed) {
  for (char C : Typed) Keys.push_back({0, (CHAR16)(unsigned char)C});
}

void SimFirmware::PressScanKey(UINT16 ScanCode) { Keys.push_back({ScanCode, 0}); }

void SimFirmware::TypeAhead(const std::string &Typed) {
  Type(Typed);
  KeysArrived = Keys.size();
}

void SimFirmware::TypeWhenShown(const std::u16string &Shown, const std::string &Typed) {
  Type(Typed);
  ArrivalText = Shown;
  ArrivalKeys = Keys.size();
}

static std::string RoleName(UINT32 Attribute) {
  switch (Attribute & 0x7F) {
    case 0x30: return "BANNER";
    case 0x03: return "NORMAL";
    case 0x0B: return "HIGHLIGHT";
    case 0x0C: return "ERROR";
    case 0x04: return "LIST_ERROR";
  }
  char Hex[8];
  std::snprintf(Hex, sizeof Hex, "%02X", Attribute);
  return Hex;
}

static void AppendUtf8(std::string &Out, CHAR16 C) {
  if (C < 0x80) {
    Out.push_back((char)C);
  } else if (C < 0x800) {
    Out.push_back((char)(0xC0 | (C >> 6)));
    Out.push_back((char)(0x80 | (C & 0x3F)));
  } else {
    Out.push_back((char)(0xE0 | (C >> 12)));
    Out.push_back((char)(0x80 | ((C >> 6) & 0x3F)));
    Out.push_back((char)(0x80 | (C & 0x3F)));
  }
}

std::string SimFirmware::Screen() const {
  std::string Out;
  for (const ColourRun &Run : Transcript) {
    Out += "{" + RoleName(Run.Attribute) + "}";
    for (CHAR16 C : Run.Text) AppendUtf8(Out, C);
  }
  return Out;
}

SimCell SimFirmware::CellAt(UINTN Column, UINTN Row) const {
  if (Cells.size() != Columns * Rows) return {u' ', (UINT32)Mode.Attribute};  // nothing shown yet
  return Cells[((TopRow + Row) % Rows) * Columns + Column];
}

std::string SimFirmware::ShownLine(UINTN Row) const {
  std::string Line;
  size_t Shown = 0;
  for (UINTN Column = 0; Column < Columns; Column++) {
    CHAR16 C = CellAt(Column, Row).Char;
    AppendUtf8(Line, C);
    if (C != u' ') Shown = Line.size();
  }
  Line.resize(Shown);
  return Line;
}

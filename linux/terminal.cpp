// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "linux/ending.h"
#include "linux/terminal_keys.h"
#include "linux/utf8.h"

#define DEFAULT_COLUMNS 80
#define DEFAULT_ROWS 25
// Keys typed ahead that are decoded before the dialogue asks for them; the
// rest waits in the kernel, so a pipe that never ends costs no memory.
#define KEYS_AHEAD_MAX 4096

static struct {
  int In, Out;
  bool Raw;
  struct termios Saved;
  std::string Pending;  // bytes read, not yet keys: at most a sequence cut short
  std::basic_string<UINT32> Keys;
  size_t KeysTaken;  // Keys before it are handed out
  bool InputEnded;
  UINTN Columns, Rows;
  SIMPLE_TEXT_OUTPUT_MODE Mode;
  EFI_SIMPLE_TEXT_INPUT_PROTOCOL ConIn;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL ConOut;
} Tty;

static void WriteAll(const char *Bytes, size_t Count) {
  while (Count > 0) {
    ssize_t Wrote = write(Tty.Out, Bytes, Count);
    if (Wrote < 0 && errno == EINTR) continue;
    if (Wrote <= 0) return;  // a terminal gone away: nothing left to show it on
    Bytes += Wrote;
    Count -= (size_t)Wrote;
  }
}

static void WriteText(const std::string &Text) { WriteAll(Text.data(), Text.size()); }

// Safe in a signal handler, and more than once.
static void RestoreTerminal() {
  static const char Reset[] = "\x1b[0m\x1b[?25h";
  if (!Tty.Raw) return;
  WriteAll(Reset, sizeof Reset - 1);
  tcsetattr(Tty.In, TCSAFLUSH, &Tty.Saved);
  Tty.Raw = false;
}

// ---- Keys

static bool NoKeys() { return Tty.KeysTaken == Tty.Keys.size(); }

static void TakeKeys(bool MoreMayCome) {
  DecodedKeys Decoded = DecodeKeys(&Tty.Pending, MoreMayCome);
  if (NoKeys()) {
    Tty.Keys.clear();
    Tty.KeysTaken = 0;
  }
  Tty.Keys += Decoded.Keys;
  if (Decoded.Interrupted) EndProgram(EXIT_INTERRUPTED);
}

// Whatever the terminal has sent by now, up to KEYS_AHEAD_MAX keys. Only a
// sequence cut short waits, a moment, for its rest: a lone Esc is a key of
// its own.
static void TakeWaitingBytes() {
  struct pollfd Poll = {Tty.In, POLLIN, 0};
  while (!Tty.InputEnded && Tty.Keys.size() - Tty.KeysTaken < KEYS_AHEAD_MAX &&
         poll(&Poll, 1, 0) > 0) {
    char Chunk[256];
    ssize_t Got = read(Tty.In, Chunk, sizeof Chunk);
    if (Got < 0 && errno == EINTR) continue;
    if (Got <= 0) Tty.InputEnded = true;
    if (Got > 0) Tty.Pending.append(Chunk, (size_t)Got);
    TakeKeys(true);
  }
  if (Tty.Pending.empty()) return;
  bool More = !Tty.InputEnded && poll(&Poll, 1, 50) > 0;
  if (!More) TakeKeys(false);  // otherwise the next read completes it
}

static EFI_STATUS EFIAPI ReadKeyStroke(EFI_SIMPLE_TEXT_INPUT_PROTOCOL *, EFI_INPUT_KEY *Key) {
  if (NoKeys()) TakeWaitingBytes();
  if (NoKeys()) return Tty.InputEnded ? EFI_DEVICE_ERROR : EFI_NOT_READY;
  UINT32 Taken = Tty.Keys[Tty.KeysTaken++];
  Key->ScanCode = (UINT16)(Taken >> 16);
  Key->UnicodeChar = (CHAR16)(Taken & 0xFFFF);
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI WaitForEvent(UINTN Count, EFI_EVENT *Events, UINTN *Index) {
  if (Count != 1 || Events[0] != Tty.ConIn.WaitForKey) return EFI_INVALID_PARAMETER;
  while (NoKeys() && Tty.Pending.empty()) {
    if (Tty.InputEnded) return EFI_DEVICE_ERROR;  // no key will ever come
    struct pollfd Poll = {Tty.In, POLLIN, 0};
    if (poll(&Poll, 1, -1) < 0 && errno != EINTR) return EFI_DEVICE_ERROR;
    TakeWaitingBytes();
  }
  *Index = 0;
  return EFI_SUCCESS;
}

// ---- Screen

// The cursor as EDK2's consoles move it: text wraps at the last column and
// the screen scrolls at the bottom row.
static void NextRow() {
  if (Tty.Mode.CursorRow + 1 < (INT32)Tty.Rows) Tty.Mode.CursorRow++;
}

static void Advance(CHAR16 C) {
  INT32 &Column = Tty.Mode.CursorColumn;
  if (C == u'\r') {
    Column = 0;
  } else if (C == u'\n') {
    NextRow();
  } else if (C == u'\b') {
    if (Column > 0) Column--;
  } else if (++Column == (INT32)Tty.Columns) {
    Column = 0;
    NextRow();
  }
}

static EFI_STATUS EFIAPI OutputString(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, const CHAR16 *Text) {
  std::string Bytes;
  for (const CHAR16 *C = Text; *C != 0; C++) {
    AppendUtf8(&Bytes, *C);
    Advance(*C);
  }
  WriteText(Bytes);
  return EFI_SUCCESS;
}

// EFI colour numbers (black, blue, green, cyan, red, magenta, brown, grey)
// in ANSI order; bit 3 of the foreground is the bright half.
static const int AnsiOfEfi[8] = {0, 4, 2, 6, 1, 5, 3, 7};

static EFI_STATUS EFIAPI SetAttribute(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, UINTN Attribute) {
  char Sequence[32];
  std::snprintf(Sequence, sizeof Sequence, "\x1b[%d;%d;%dm", (Attribute & 0x08) ? 1 : 0,
                30 + AnsiOfEfi[Attribute & 0x07], 40 + AnsiOfEfi[(Attribute >> 4) & 0x07]);
  WriteText(Sequence);
  Tty.Mode.Attribute = (INT32)Attribute;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI ClearScreen(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *) {
  WriteText("\x1b[2J\x1b[H");
  Tty.Mode.CursorColumn = 0;
  Tty.Mode.CursorRow = 0;
  return EFI_SUCCESS;
}

// Moved relative to where the cursor is: a serial console that does not say
// its size has rows above the dialogue that no absolute row would reach.
static EFI_STATUS EFIAPI SetCursorPosition(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, UINTN Column,
                                           UINTN Row) {
  if (Column >= Tty.Columns || Row >= Tty.Rows) return EFI_UNSUPPORTED;
  char Sequence[48];
  INT32 Up = Tty.Mode.CursorRow - (INT32)Row;
  int Length = Up > 0   ? std::snprintf(Sequence, sizeof Sequence, "\x1b[%dA", Up)
               : Up < 0 ? std::snprintf(Sequence, sizeof Sequence, "\x1b[%dB", -Up)
                        : 0;
  std::snprintf(Sequence + Length, sizeof Sequence - Length, Column > 0 ? "\r\x1b[%uC" : "\r",
                (unsigned)Column);
  WriteText(Sequence);
  Tty.Mode.CursorColumn = (INT32)Column;
  Tty.Mode.CursorRow = (INT32)Row;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI EnableCursor(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, BOOLEAN Visible) {
  WriteText(Visible ? "\x1b[?25h" : "\x1b[?25l");
  Tty.Mode.CursorVisible = Visible;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI QueryMode(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, UINTN ModeNumber,
                                   UINTN *Columns, UINTN *Rows) {
  if (ModeNumber != 0) return EFI_UNSUPPORTED;
  *Columns = Tty.Columns;
  *Rows = Tty.Rows;
  return EFI_SUCCESS;
}

static void TakeRawMode() {
  if (!isatty(Tty.In) || tcgetattr(Tty.In, &Tty.Saved) != 0) return;  // a pipe: no mode to take
  struct termios Raw = Tty.Saved;
  cfmakeraw(&Raw);
  Tty.Raw = tcsetattr(Tty.In, TCSAFLUSH, &Raw) == 0;
  if (Tty.Raw) UndoAtEnding(RestoreTerminal);
}

void InstallTerminal(EFI_SYSTEM_TABLE *Table, int In, int Out) {
  Tty.In = In;
  Tty.Out = Out;
  Tty.Pending.clear();
  Tty.Keys.clear();
  Tty.KeysTaken = 0;
  Tty.InputEnded = false;
  struct winsize Size = {};
  bool Known = ioctl(Out, TIOCGWINSZ, &Size) == 0 && Size.ws_col > 0 && Size.ws_row > 0;
  Tty.Columns = Known ? Size.ws_col : DEFAULT_COLUMNS;
  Tty.Rows = Known ? Size.ws_row : DEFAULT_ROWS;
  Tty.Mode = {};
  Tty.Mode.MaxMode = 1;
  Tty.Mode.Attribute = 0x07;  // light grey on black, as firmware starts
  Tty.Mode.CursorVisible = TRUE;
  Tty.ConIn.ReadKeyStroke = ReadKeyStroke;
  Tty.ConIn.WaitForKey = &Tty.ConIn;  // any unique value serves as the event
  Tty.ConOut.OutputString = OutputString;
  Tty.ConOut.QueryMode = QueryMode;
  Tty.ConOut.SetAttribute = SetAttribute;
  Tty.ConOut.ClearScreen = ClearScreen;
  Tty.ConOut.SetCursorPosition = SetCursorPosition;
  Tty.ConOut.EnableCursor = EnableCursor;
  Tty.ConOut.Mode = &Tty.Mode;
  Table->ConIn = &Tty.ConIn;
  Table->ConOut = &Tty.ConOut;
  Table->BootServices->WaitForEvent = WaitForEvent;
  TakeRawMode();
}

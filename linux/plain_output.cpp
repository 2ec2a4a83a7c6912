// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/plain_output.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "linux/utf8.h"

static struct {
  int Out;
  std::string Line;  // the line being written
  std::string Last;  // the last whole line
  SIMPLE_TEXT_OUTPUT_MODE Mode;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL ConOut;
} Plain;

static EFI_STATUS EFIAPI OutputString(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, const CHAR16 *Text) {
  std::string Bytes;
  for (const CHAR16 *C = Text; *C != 0; C++) {
    if (*C != u'\r') AppendUtf8(&Bytes, *C);
  }
  for (char Byte : Bytes) {
    if (Byte != '\n') {
      Plain.Line.push_back(Byte);
    } else {
      Plain.Last.swap(Plain.Line);
      Plain.Line.clear();
    }
  }
  for (size_t At = 0; At < Bytes.size();) {
    ssize_t Wrote = write(Plain.Out, Bytes.data() + At, Bytes.size() - At);
    if (Wrote < 0 && errno == EINTR) continue;
    if (Wrote <= 0) return EFI_DEVICE_ERROR;
    At += (size_t)Wrote;
  }
  return EFI_SUCCESS;
}

// Colours mean nothing here; the role's text is what counts.
static EFI_STATUS EFIAPI SetAttribute(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, UINTN Attribute) {
  Plain.Mode.Attribute = (INT32)Attribute;
  return EFI_SUCCESS;
}

std::string LastPlainLine() { return Plain.Last; }

void InstallPlainOutput(EFI_SYSTEM_TABLE *Table, int Out) {
  Plain.Out = Out;
  Plain.Line.clear();
  Plain.Last.clear();
  Plain.Mode = {};
  Plain.Mode.MaxMode = 1;
  Plain.Mode.Attribute = 0x07;
  Plain.ConOut.OutputString = OutputString;
  Plain.ConOut.SetAttribute = SetAttribute;
  Plain.ConOut.Mode = &Plain.Mode;
  Table->ConOut = &Plain.ConOut;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/plain_output.h"

#include <unistd.h>

#include <cerrno>
#include <string>

static struct {
  int Out;
  SIMPLE_TEXT_OUTPUT_MODE Mode;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL ConOut;
} Plain;

static EFI_STATUS EFIAPI OutputString(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, const CHAR16 *Text) {
  std::string Bytes;
  for (const CHAR16 *C = Text; *C != 0; C++) {
    if (*C == u'\r') continue;
    if (*C < 0x80) {
      Bytes.push_back((char)*C);
    } else if (*C < 0x800) {
      Bytes.push_back((char)(0xC0 | (*C >> 6)));
      Bytes.push_back((char)(0x80 | (*C & 0x3F)));
    } else {
      Bytes.push_back((char)(0xE0 | (*C >> 12)));
      Bytes.push_back((char)(0x80 | ((*C >> 6) & 0x3F)));
      Bytes.push_back((char)(0x80 | (*C & 0x3F)));
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

void InstallPlainOutput(EFI_SYSTEM_TABLE *Table, int Out) {
  Plain.Out = Out;
  Plain.Mode = {};
  Plain.Mode.MaxMode = 1;
  Plain.Mode.Attribute = 0x07;
  Plain.ConOut.OutputString = OutputString;
  Plain.ConOut.SetAttribute = SetAttribute;
  Plain.ConOut.Mode = &Plain.Mode;
  Table->ConOut = &Plain.ConOut;
}

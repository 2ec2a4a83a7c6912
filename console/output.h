// SPDX-License-Identifier: BSD-2-Clause-Patent
// Text output, numbers in hexadecimal, and the form of error reports.
#pragma once
#include "efi.h"

void Print(const CHAR16 *Text);
// Text that another program wrote, in the current colour: a character that
// a console would obey rather than show (below 0x20, DEL, and the C1
// controls U+0080 to U+009F) shows as '?'.
void PrintForeignText(const CHAR16 *Text);

// 16 digits and a line break, one output call, current colour.
void PrintStatus(EFI_STATUS Status);
// Hexadecimal without leading zeros (at least one digit), current colour.
void PrintHexValue(UINT64 Value);
// Message and value, the value in ATTR_HIGHLIGHT, then back to ATTR_NORMAL.
void PrintHighlighted(const CHAR16 *Before, UINT64 Value, const CHAR16 *After);
// The same with a text (a name, a path) in ATTR_HIGHLIGHT.
void PrintHighlightedText(const CHAR16 *Before, const CHAR16 *Text, const CHAR16 *After);

// "E: ..." reports: message and status digits both in ATTR_ERROR.
void ReportError(const CHAR16 *Message, EFI_STATUS Status);
// A report that carries its own line break and no status.
void ReportErrorText(const CHAR16 *Message);
// The one line of refused input, in ATTR_ERROR: "E: ", Option, the value
// given (when not NULL, after a space), Problem. Notes EFI_INVALID_PARAMETER
// as the run's failure.
void ReportRefusal(const CHAR16 *Option, const CHAR16 *Value, const CHAR16 *Problem);
// The status of the last failure reported (ReportError notes its status), so
// that an unattended run can end with it; EFI_SUCCESS when none was noted.
void NoteFailure(EFI_STATUS Status);
EFI_STATUS NotedFailure();
// Inside the listings: message in ATTR_LIST_ERROR, digits in ATTR_NORMAL.
void ReportListError(const CHAR16 *Message, EFI_STATUS Status);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The text of addbootentry.conf, the options of a stick that provisions
// machines with no keyboard. One option per line, as it is written on the
// command line: the option, one space, and the rest of the line as its
// value, taken as it stands (no quoting; a '#' inside is part of it). A
// line holding only the option is an option without a value. Blanks before
// the option and at the end of the line are ignored, a line whose first
// character is '#' is a comment, blank lines are skipped; lines end in LF
// or CRLF. The file is UTF-8 (a leading byte order mark is skipped) and may
// hold only what UCS-2 can carry: no character above U+FFFF and no control
// character but the tab among the blanks.
#pragma once
#include "app/option_words.h"

// Puts the option and value words of the lines into Words: FALSE after the
// message naming the first bad line. Size must be within
// OPTIONS_FILE_MAX_BYTES; a file without options gives no words.
BOOLEAN ReadOptionsText(const UINT8 *Bytes, UINTN Size, OptionWords *Words);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The image's load options as a command line. They reach us from two kinds
// of starter: the UEFI Shell hands the line as typed, program path first
// (`fs0:\EFI\tools\addbootentryx64.efi --loader \EFI\debian\shimx64.efi
// --yes`), and a boot entry hands its optional data, which may be our
// options alone or bytes that mean something to another program: EDK2's
// own entries carry a GUID, U-Boot passes its bootargs. So the bytes count
// as our command line only when all of this holds:
//   - they are UCS-2 text: an even size from 2 bytes to 64 KiB, no
//     character below 0x20 but the tab, no DEL, no half of a surrogate
//     pair, no 0xFFFE/0xFFFF, and after a NUL nothing but NULs;
//   - split into words, the first word begins with "--", or it is the
//     program's path and the second word begins with "--".
// A program path alone (the Shell without arguments), a GUID, bootargs and
// empty options are no command line: the conf file or the dialogue follows.
// Words are separated by spaces and tabs; as in the Shell, double quotes
// group a value with blanks ("--label "Debian 12"") and are dropped, and
// '^' takes the next character as it is (^" is a quote in a value).
#pragma once
#include "app/option_words.h"

enum OptionsFound {
  OptionsNone,     // not a command line of ours: Words is empty
  OptionsGiven,    // Words holds the option words, without the program's path
  OptionsRefused,  // ours but unusable; the message naming why is printed
};

OptionsFound SplitCommandLine(const VOID *LoadOptions, UINT32 LoadOptionsSize, OptionWords *Words);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Where the firmware application takes its options: its load options when
// they are a command line of ours (app/command_line.h), else the file
// addbootentry.conf in the folder it was started from, on the volume it was
// loaded from (app/options_file.h). Started through shim, the image that
// runs is the second stage, whose Loaded Image protocol names its own path:
// the file beside it is the one found.
#pragma once
#include "app/command_line.h"

// OptionsNone: neither holds options (no file, a file with none, or an
// image that does not know where it came from); the dialogue runs.
// OptionsRefused: the message is printed and *Failure is the status the run
// ends with: EFI_INVALID_PARAMETER for bad text, else the failing call's.
OptionsFound GatherOptionWords(OptionWords *Words, EFI_STATUS *Failure);

// The conf file's path from the image's own File Path nodes: their names
// joined, '/' taken as '\', the last name replaced by addbootentry.conf.
// FALSE when the path holds no File Path node or does not fit.
BOOLEAN OptionsFilePath(const EFI_DEVICE_PATH_PROTOCOL *ImagePath, CHAR16 *Path, UINTN Capacity);

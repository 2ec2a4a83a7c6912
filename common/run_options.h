// SPDX-License-Identifier: BSD-2-Clause-Patent
// The options of an unattended run: the answers the dialogue's questions take
// instead of keys. Filled by ParseRunOptions (app/parse_options.h) from the
// option words, which the firmware takes from its load options or its conf
// file and the Linux program from its arguments.
#pragma once
#include "efi.h"

// How an unattended firmware run ends (--then). A run that failed or was
// refused always ends by Exit, whatever was asked.
enum RunThen : UINT8 { RUN_THEN_EXIT, RUN_THEN_SHUTDOWN, RUN_THEN_REBOOT };

// Where the BVSRD goes (--bvsrd-as): none without --boot-volume.
enum BvsrdPlacement : UINT8 { BVSRD_NONE, BVSRD_AS_DATA, BVSRD_AS_PATH };

// The file-system type of a Boot Volume that is not FAT (--boot-fs): the
// number the dialogue's question takes (1 - KFS, 2 - WFS, 3 - QFS), 0 when
// the option is absent.
#define BOOT_FS_NONE 0

// Bits of ParseRunOptions' Accepted: the options only one side has.
#define RUN_ACCEPTS_THEN 0x1U  // --then: the firmware application

struct RunOptions {
  BOOLEAN Unattended;  // --loader was given: the questions take these answers
  // NULL when absent; they point into the caller's words, which must outlive
  // the run.
  const CHAR16 *Loader;
  const CHAR16 *Volume;  // a selector (volumes/volume_selector.h)
  const CHAR16 *Label;
  const CHAR16 *BootVolume;  // a selector
  const CHAR16 *Root;
  UINT8 BootFs;      // BOOT_FS_NONE or 1..3
  UINT8 BvsrdAs;     // BvsrdPlacement
  BOOLEAN Yes;       // write without asking
  BOOLEAN DryRun;    // everything up to the confirmation, then print, write nothing
  BOOLEAN BootNext;  // also point BootNext at the entry
  UINT8 Then;        // RunThen
  BOOLEAN Help;      // usage, nothing else
  BOOLEAN Version;   // the version, nothing else
};

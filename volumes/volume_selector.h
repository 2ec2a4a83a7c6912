// SPDX-License-Identifier: BSD-2-Clause-Patent
// Volumes named by the signature in their hard-drive node, as Linux's blkid
// prints it: PARTUUID=<GUID> for a GPT partition (any case), and
// PARTUUID=<8 hex>-<2 hex> for an MBR disk's signature and partition number.
#pragma once
#include "efi.h"

enum SelectorKind : UINT8 { SELECTOR_GPT = 1, SELECTOR_MBR = 2 };

struct VolumeSelector {
  UINT8 Kind;  // SelectorKind
  UINT8
  Signature[16];     // as the node holds it: a GUID's bytes, or the MBR signature (LE) then zeros
  UINT32 Partition;  // MBR only: the partition number
};

// FALSE for text of neither form.
BOOLEAN ParseVolumeSelector(const CHAR16 *Text, VolumeSelector *Selector);
// Whether the first hard-drive node of a firmware-owned path carries the
// selector's signature (and, for MBR, its partition number).
BOOLEAN SelectorMatchesPath(const VolumeSelector *Selector, const EFI_DEVICE_PATH_PROTOCOL *Path);

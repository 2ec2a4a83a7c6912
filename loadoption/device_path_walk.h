// SPDX-License-Identifier: BSD-2-Clause-Patent
// The walk that finds where a short-form device path begins: the first
// hard-drive media node of a path.
#pragma once
#include "efi.h"

// Bound for device path instances that the firmware owns and whose size we
// are not told (a handle's Device Path protocol). Real paths are a few hundred
// bytes; the bound only guarantees that a path without its end node cannot
// send the walk through the rest of memory.
#define FIRMWARE_DEVICE_PATH_MAX_BYTES 0x10000

// The first node of Type MEDIA_DEVICE_PATH, SubType MEDIA_HARDDRIVE_DP, and
// in *Skipped the bytes of the nodes in front of it; NULL when the path ends
// first. End-of-instance nodes are stepped over, so a hard-drive node in a
// later instance is found. The walk reads only the first MaxBytes bytes of
// Path and never a node header that does not lie wholly within them; a node
// Length below 4 (which would never advance) or one that reaches past
// MaxBytes ends it without a result. Callers that know the path's size pass
// it; others pass FIRMWARE_DEVICE_PATH_MAX_BYTES.
EFI_DEVICE_PATH_PROTOCOL *FindHardDriveNode(const EFI_DEVICE_PATH_PROTOCOL *Path, UINTN MaxBytes,
                                            UINTN *Skipped);

// The bytes of Path through its end-of-entire-path node, or 0 when that node
// does not lie wholly within the first MaxBytes.
UINTN DevicePathBytes(const EFI_DEVICE_PATH_PROTOCOL *Path, UINTN MaxBytes);

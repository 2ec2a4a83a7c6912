// SPDX-License-Identifier: BSD-2-Clause-Patent
// One entry of a numbered handle list, shared by the volume and partition
// listings: a shown number is always the handle's true position.
#pragma once
#include "efi.h"

// The device path on Handle, or NULL after printing the per-handle failure
// line (red message, cyan digits); the listing then goes on with the next.
EFI_DEVICE_PATH_PROTOCOL *OpenListedDevicePath(EFI_HANDLE Handle);

// "\r\n[" Position "]:" and the path's text. A path without text is left out
// silently; its number simply does not appear.
void PrintListEntry(UINTN Position, const EFI_DEVICE_PATH_PROTOCOL *Path,
                    EFI_DEVICE_PATH_TO_TEXT_PROTOCOL *DevicePathToText);

// FALSE for a handle list that LocateHandleBuffer answered with a count but
// no buffer: a firmware fault, reported as the failed call it is.
BOOLEAN HandleAnswerIsWhole(UINTN Count, const EFI_HANDLE *Handles);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Pool buffers as every holder keeps them: a pointer that holds no buffer is
// NULL, so that the common clean-up frees each buffer once and nothing else.
#pragma once
#include "efi.h"

// AllocatePool (EfiLoaderData). UEFI leaves *Buffer undefined when the call
// fails with an error; here it is NULL then. After a warning it holds what
// the firmware handed out, which the holder frees like any other buffer.
EFI_STATUS AllocatePoolOrNull(UINTN Size, VOID **Buffer);
// LocateHandleBuffer (ByProtocol) into a pool buffer of handles, with the
// same rule for *Handles.
EFI_STATUS LocateHandleBufferOrNull(const EFI_GUID *Protocol, UINTN *Count, EFI_HANDLE **Handles);
// FreePool of *Buffer, if it holds one, and NULL in its place.
void FreePoolToNull(VOID **Buffer);

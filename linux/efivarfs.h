// SPDX-License-Identifier: BSD-2-Clause-Patent
// Variables as efivarfs keeps them: one file per variable, named
// <Name>-<vendor GUID>, holding 4 bytes of attributes then the data.
#pragma once
#include <string>

#include "efi.h"

// The file of a variable under Folder (the efivarfs mount).
std::string VariableFile(const std::string &Folder, const CHAR16 *Name, const EFI_GUID &Vendor);

// GetVariable and SetVariable on such a file. A write is the whole file in
// one write(2); a write of no data (without the append flag) deletes it.
EFI_STATUS ReadVariableFile(const std::string &File, UINT32 *Attributes, UINTN *DataSize,
                            VOID *Data);
EFI_STATUS WriteVariableFile(const std::string &File, UINT32 Attributes, UINTN DataSize,
                             const VOID *Data);

// The status the dialogue already reports for what the kernel answered.
EFI_STATUS StatusOfErrno(int Error);

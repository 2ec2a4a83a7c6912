// SPDX-License-Identifier: BSD-2-Clause-Patent
// UCS-2 text as the UTF-8 that Linux names and terminals take.
#pragma once
#include <string>

#include "efi.h"

void AppendUtf8(std::string *Out, CHAR16 C);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// What must hold before the dialogue starts, each refusal one line.
#pragma once
#include <sys/types.h>

#include <string>

// Empty when the dialogue may run on the system under Root for user User;
// otherwise the line that says why not and what to do.
std::string RefusalBeforeDialogue(const std::string &Root, uid_t User);

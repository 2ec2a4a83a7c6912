// SPDX-License-Identifier: BSD-2-Clause-Patent
// Small files of sysfs and /proc read whole, without the C++ streams, which
// would bring the C++ library's locales into the program.
#pragma once
#include <string>
#include <vector>

// The file's bytes; empty when it cannot be read.
std::string FileText(const std::string &Path);
// Text cut at every Separator; no empty pieces.
std::vector<std::string> Pieces(const std::string &Text, char Separator);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Files of sysfs, /proc and efivarfs read whole, without the C++ streams, which
// would bring the C++ library's locales into the program.
#pragma once
#include <string>
#include <vector>

// The bytes of the open file Fd to its end, into *Bytes; 0, or the errno of
// the read that failed. A read may come back short, even from efivarfs.
int ReadToEnd(int Fd, std::string *Bytes);
// The file's bytes; empty when it cannot be read.
std::string FileText(const std::string &Path);
// Text cut at every Separator; no empty pieces.
std::vector<std::string> Pieces(const std::string &Text, char Separator);

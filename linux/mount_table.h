// SPDX-License-Identifier: BSD-2-Clause-Patent
// /proc/self/mountinfo, the lines this firmware asks about.
#pragma once
#include <string>
#include <vector>

struct MountEntry {
  std::string Numbers;     // major:minor of the mounted device
  std::string Root;        // the folder of that file system mounted here; "/" for all of it
  std::string MountPoint;  // octal escapes undone
  std::string Options;     // the mount's, then the file system's, joined by a comma
  std::string Type;
};

// Empty when the file cannot be read.
std::vector<MountEntry> ReadMountTable(const std::string &File);
// Whether Options holds the word "ro".
bool MountedReadOnly(const MountEntry &Mount);

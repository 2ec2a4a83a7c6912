// SPDX-License-Identifier: BSD-2-Clause-Patent
// /proc/self/mountinfo as the Linux firmware reads it: the input is the
// file's text, every entry is asked whether it is read-only.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "linux/mount_table.h"

static void Check(bool Holds) {
  if (!Holds) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *Data, size_t Size) {
  // One file in memory for every run, read through its /proc name.
  static int File = memfd_create("mountinfo", MFD_CLOEXEC);
  static const std::string Path = "/proc/self/fd/" + std::to_string(File);
  Check(File >= 0 && ftruncate(File, 0) == 0);
  Check(pwrite(File, Data, Size, 0) == (ssize_t)Size);
  for (const MountEntry &Entry : ReadMountTable(Path)) {
    // Every field comes from a piece of a line, and no piece is empty.
    Check(!Entry.Numbers.empty() && !Entry.Type.empty() && Entry.MountPoint.size() <= Size);
    MountedReadOnly(Entry);
  }
  return 0;
}

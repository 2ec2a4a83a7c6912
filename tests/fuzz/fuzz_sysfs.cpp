// SPDX-License-Identifier: BSD-2-Clause-Patent
// The disks and partitions of sysfs as the Linux firmware finds them: one
// disk, vda, with two partition folders, in a fake tree made once. The
// input is the texts of the nine files below, each ended by '|', then the
// disk's bytes; a file whose text is missing is left out.
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "fake_linux.h"
#include "linux/linux_firmware.h"
#include "linux/linux_volumes.h"

// clang-format off
static const char *const Files[] = {
    "vda/size",        "vda/queue/logical_block_size", "vda/dev",
    "vda/vda1/partition", "vda/vda1/start", "vda/vda1/size",
    "vda/vda2/partition", "vda/vda2/start", "vda/vda2/size",
};
// clang-format on

static void Check(bool Holds) {
  if (!Holds) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const UINT8 *Data, size_t Size) {
  // In memory where there is a tmpfs: a disk's file system would make
  // every run wait for its journal.
  static FakeTree Tree(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
  const std::string Sys = "/sys/class/block/";
  const char *At = reinterpret_cast<const char *>(Data);
  const char *End = At + Size;
  for (const char *File : Files) {
    const char *Bar = static_cast<const char *>(std::memchr(At, '|', (size_t)(End - At)));
    if (Bar == nullptr) {
      unlink((Tree.Root + Sys + File).c_str());
      continue;
    }
    Tree.Write(Sys + File, std::string(At, Bar));
    At = Bar + 1;
  }
  Tree.Write("/dev/vda", std::string(At, End));

  LinuxFirmware Fw{};
  Fw.Root = Tree.Root;
  FindVolumes(&Fw);
  for (const auto &Volume : Fw.Volumes) {
    // The end node alone (a whole disk), the HD() node and the end node, or
    // no path at all (a partition whose table cannot be trusted).
    const std::vector<UINT8> &Path = Volume->Path;
    Check(Path.empty() || Path.size() == 4 || Path.size() == 42 + 4);
    Check(Path.empty() || (Path[Path.size() - 4] == 0x7F && Path[Path.size() - 3] == 0xFF));
  }
  return 0;
}

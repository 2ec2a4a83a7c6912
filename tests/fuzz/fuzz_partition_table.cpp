// SPDX-License-Identifier: BSD-2-Clause-Patent
// A disk as the Linux firmware reads it: its partition table (GPT or MBR),
// one entry of it, the kernel's view of that partition, and the HD() node.
// The input: a flags byte (bit 0: 4096-byte sectors; bit 1: the kernel's
// start and size off the table's by the next two bytes, signed; otherwise
// they agree), the entry number, then the disk's bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "linux/partition_table.h"

static void Check(bool Holds) {
  if (!Holds) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const UINT8 *Data, size_t Size) {
  if (Size < 4) return 0;
  // One file in memory for every run: the reader takes a descriptor.
  static int Disk = memfd_create("disk", MFD_CLOEXEC);
  Check(Disk >= 0 && ftruncate(Disk, 0) == 0);
  Check(pwrite(Disk, Data + 4, Size - 4, 0) == (ssize_t)(Size - 4));
  UINT32 SectorSize = (Data[0] & 1) ? 4096 : 512;
  PartitionPlace Place;
  if (!ReadPartitionPlace(Disk, SectorSize, Data[1], &Place).empty()) return 0;
  Check(Place.Number == Data[1] && Place.Size != 0);
  UINT64 Scale = SectorSize / 512;
  UINT64 Start = Place.Start * Scale;
  UINT64 Length = Place.Size * Scale;
  if (Data[0] & 2) {
    Start += (int8_t)Data[2];
    Length += (int8_t)Data[3];
  }
  if (!CheckAgainstKernel(Place, SectorSize, Start, Length).empty()) return 0;
  Check(HardDriveNodeBytes(Place).size() == 42);
  Check(!HardDriveNodeText(Place).empty());
  return 0;
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// A partition's place as the firmware names it in the HD() node, read from
// the disk's own partition table: the kernel's uevent files carry no GPT
// unique GUID, and the firmware reads the table, not the kernel.
#pragma once
#include <string>
#include <vector>

#include "efi.h"

struct PartitionPlace {
  UINT32 Number;  // the table's entry number, 1-based
  UINT64 Start;   // in the disk's logical sectors
  UINT64 Size;
  UINT8 Signature[16];   // GPT: the unique GUID as stored; MBR: the disk signature, zero-filled
  UINT8 TableType;       // 2 GPT, 1 MBR: the node's MBRType
  bool SystemPartition;  // ESP type GUID, or MBR type 0xEF
};

// Entry Number of the table on the disk open as Disk (a file descriptor),
// whose logical sectors are SectorSize bytes. Empty on success; otherwise
// why no node can be trusted (a bad signature or checksum, a table cut
// short, an empty entry), said in a few words.
std::string ReadPartitionPlace(int Disk, UINT32 SectorSize, UINT32 Number, PartitionPlace *Place);

// The kernel's view of the same partition (sysfs start and size, always in
// 512-byte units): a table that disagrees would name another partition.
std::string CheckAgainstKernel(const PartitionPlace &Place, UINT32 SectorSize, UINT64 KernelStart,
                               UINT64 KernelSize);

// The HD() node's 42 bytes, and its text as EDK2 writes it.
std::vector<UINT8> HardDriveNodeBytes(const PartitionPlace &Place);
std::u16string HardDriveNodeText(const PartitionPlace &Place);

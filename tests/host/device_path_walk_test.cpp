// SPDX-License-Identifier: BSD-2-Clause-Patent
// The walk that cuts the short form: where it starts, what it skips, and that
// it ends inside the bytes it is given whatever those bytes say.
#include "loadoption/device_path_walk.h"

#include <gtest/gtest.h>

#include <memory>

#include "sim_firmware.h"

struct WalkCase {
  const char *Name;
  SimPath Bytes;
  bool Found;
  UINTN Skipped;
  SimPath Beyond = {};  // bytes the buffer holds past the bound the walk is given
};

static SimPath Raw(std::initializer_list<UINT8> Bytes) { return SimPath(Bytes); }

TEST(FindHardDriveNode, FindsTheFirstHardDriveNodeWithinTheGivenBytes) {
  const SimPath Hd = HardDriveNode(1, 0x800, 0x1000);
  // 0x104 bytes whose data begins like a hard-drive node: a walk that lost
  // the Length's high byte would step only 4 bytes and stop in there.
  const SimPath Long = Raw({0x01, 0x04, 0x04, 0x01, 0x04, 0x01, 0x2A, 0x00}) + SimPath(0xFC, 0);
  const WalkCase Cases[] = {
      {"starts at the hard-drive node", Hd + FilePathNode(u"\\A") + EndNode(), true, 0},
      {"behind PCI nodes", PciRootNode(0) + PciNode(1, 0) + Hd + EndNode(), true, 12 + 6},
      {"no hard-drive node", PciRootNode(0) + PciNode(1, 0) + FilePathNode(u"\\A") + EndNode(),
       false, 0},
      {"in the second instance",
       PciRootNode(0) + EndInstanceNode() + PciRootNode(1) + PciNode(2, 0) + Hd + EndNode(), true,
       12 + 4 + 12 + 6},
      {"only after the end node", PciRootNode(0) + EndNode() + Hd, false, 0},
      {"behind a node of 256 bytes or more", Long + Hd + EndNode(), true, 0x104},
      // Malformed paths: each must end the walk without reading past the buffer.
      {"Length 0 would never advance", Raw({0x01, 0x01, 0x00, 0x00}) + Hd + EndNode(), false, 0},
      {"Length 3 is shorter than a header", Raw({0x01, 0x01, 0x03, 0x00}) + Hd + EndNode(), false,
       0},
      {"no end node within the bytes", PciRootNode(0) + PciNode(1, 0), false, 0},
      {"Length reaches past the bytes", Raw({0x01, 0x01, 0x40, 0x00, 0, 0, 0, 0}), false, 0},
      // Bounded by the bytes left, not by the whole: where it would land lies a
      // hard-drive node.
      {"a later node reaches past the bytes", PciRootNode(0) + Raw({0x01, 0x01, 0x10, 0x00}), false,
       0, SimPath(12, 0) + Hd + EndNode()},
      {"half a header at the end", PciRootNode(0) + Raw({0x04, 0x01}), false, 0},
      // The size the firmware reported ends inside the hard-drive node: a
      // record holding it would be cut short.
      {"a hard-drive node cut short by the bytes",
       PciRootNode(0) + SimPath(Hd.begin(), Hd.begin() + 20), false, 0,
       SimPath(Hd.begin() + 20, Hd.end()) + EndNode()},
      {"no bytes at all", SimPath(), false, 0},
  };
  for (const WalkCase &Case : Cases) {
    // An exact-size heap copy, so that the sanitizer build sees any read past it.
    SimPath Buffer = Case.Bytes + Case.Beyond;
    std::unique_ptr<UINT8[]> Bytes(new UINT8[Buffer.size() + (Buffer.empty() ? 1 : 0)]);
    std::copy(Buffer.begin(), Buffer.end(), Bytes.get());
    auto *Path = reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(Bytes.get());
    UINTN Skipped = 0xDEAD;
    EFI_DEVICE_PATH_PROTOCOL *Node = FindHardDriveNode(Path, Case.Bytes.size(), &Skipped);
    EXPECT_EQ(Node != nullptr, Case.Found) << Case.Name;
    if (Case.Found && Node != nullptr) {
      EXPECT_EQ(Skipped, Case.Skipped) << Case.Name;
      EXPECT_EQ(reinterpret_cast<UINT8 *>(Node), Bytes.get() + Case.Skipped) << Case.Name;
    }
  }
}

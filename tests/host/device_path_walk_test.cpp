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
};

static SimPath Raw(std::initializer_list<UINT8> Bytes) { return SimPath(Bytes); }

TEST(FindHardDriveNode, FindsTheFirstHardDriveNodeWithinTheGivenBytes) {
  const SimPath Hd = HardDriveNode(1, 0x800, 0x1000);
  const WalkCase Cases[] = {
      {"starts at the hard-drive node", Hd + FilePathNode(u"\\A") + EndNode(), true, 0},
      {"behind PCI nodes", PciRootNode(0) + PciNode(1, 0) + Hd + EndNode(), true, 12 + 6},
      {"no hard-drive node", PciRootNode(0) + PciNode(1, 0) + FilePathNode(u"\\A") + EndNode(),
       false, 0},
      {"in the second instance",
       PciRootNode(0) + EndInstanceNode() + PciRootNode(1) + PciNode(2, 0) + Hd + EndNode(), true,
       12 + 4 + 12 + 6},
      {"only after the end node", PciRootNode(0) + EndNode() + Hd, false, 0},
      // Malformed paths: each must end the walk without reading past the buffer.
      {"Length 0 would never advance", Raw({0x01, 0x01, 0x00, 0x00}) + Hd + EndNode(), false, 0},
      {"Length 3 is shorter than a header", Raw({0x01, 0x01, 0x03, 0x00}) + Hd + EndNode(), false,
       0},
      {"no end node within the bytes", PciRootNode(0) + PciNode(1, 0), false, 0},
      {"Length reaches past the bytes", Raw({0x01, 0x01, 0x40, 0x00, 0, 0, 0, 0}), false, 0},
      {"half a header at the end", PciRootNode(0) + Raw({0x04, 0x01}), false, 0},
      {"no bytes at all", SimPath(), false, 0},
  };
  for (const WalkCase &Case : Cases) {
    // An exact-size heap copy, so that the sanitizer build sees any read past it.
    std::unique_ptr<UINT8[]> Bytes(new UINT8[Case.Bytes.size() + (Case.Bytes.empty() ? 1 : 0)]);
    std::copy(Case.Bytes.begin(), Case.Bytes.end(), Bytes.get());
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

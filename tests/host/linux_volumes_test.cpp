// SPDX-License-Identifier: BSD-2-Clause-Patent
// The Linux firmware's handles over a fake system: disks before their
// partitions, FAT partitions as file-system volumes, device paths that end
// at the firmware's HD() node, loaders found on the mounted file system,
// and the refusals before any question.
#include <gtest/gtest.h>

#include "fake_linux.h"
#include "linux/linux_firmware.h"
#include "linux/refusals.h"

static const std::vector<FakePartition> Typical = {
    {34, 2081, true, true}, {2082, 3000, false, true}, {3001, 4000, false, false}};

struct Listed {
  std::u16string Text;
  bool Fat, Esp, HasPath;
};

static std::vector<Listed> Listing(LinuxFirmware &Fw) {
  std::vector<Listed> Out;
  for (auto &V : Fw.Volumes) Out.push_back({V->Text, (bool)V->Fat, (bool)V->SystemPartition, !V->Path.empty()});
  return Out;
}

static bool operator==(const Listed &A, const Listed &B) {
  return A.Text == B.Text && A.Fat == B.Fat && A.Esp == B.Esp && A.HasPath == B.HasPath;
}
static std::ostream &operator<<(std::ostream &Out, const Listed &L) {
  return Out << std::string(L.Text.begin(), L.Text.end()) << (L.Fat ? " FAT" : "") << (L.Esp ? " ESP" : "")
             << (L.HasPath ? "" : " no path");
}

static LinuxFirmware &FirmwareOver(const FakeTree &Tree) {
  gLinux.Volumes.clear();
  gLinux.Notes.clear();
  gLinux.Root = Tree.Root;
  FindVolumes(&gLinux);
  InstallServices(&gLinux);
  return gLinux;
}

TEST(LinuxVolumes, DisksThenPartitionsNamedByDeviceAndHardDriveNode) {
  FakeTree Tree;
  AddFakeDisk(Tree, "vda", 512, GptDisk(512, 4096, Typical), Typical);
  const std::vector<FakePartition> Big = {{6, 261, false, true}};
  AddFakeDisk(Tree, "vdb", 4096, GptDisk(4096, 512, Big), Big);
  std::vector<UINT8> Broken = GptDisk(512, 4096, Typical);
  Broken[1024 + 40]++;  // an entry changed behind the checksum's back
  AddFakeDisk(Tree, "vdc", 512, Broken, Typical);
  Tree.Write("/sys/class/block/loop0/size", "0\n");  // no medium: not listed
  Tree.Write("/sys/class/block/loop1/size", std::string(25, '9') + "\n");  // no sector count either
  LinuxFirmware &Fw = FirmwareOver(Tree);
  const std::vector<Listed> Expected = {
      {u"/dev/vda", false, false, true},
      {u"/dev/vda1/HD(1,GPT,13121110-1514-1716-1819-1A1B1C1D1E1F,0x22,0x800)", true, true, true},
      {u"/dev/vda2/HD(2,GPT,23222120-2524-2726-2829-2A2B2C2D2E2F,0x822,0x397)", true, false, true},
      {u"/dev/vda3/HD(3,GPT,33323130-3534-3736-3839-3A3B3C3D3E3F,0xBB9,0x3E8)", false, false, true},
      {u"/dev/vdb", false, false, true},
      {u"/dev/vdb1/HD(1,GPT,13121110-1514-1716-1819-1A1B1C1D1E1F,0x6,0x100)", true, false, true},
      {u"/dev/vdc", false, false, true},
      {u"/dev/vdc1", true, false, false},
      {u"/dev/vdc2", true, false, false},
      {u"/dev/vdc3", false, false, false},
  };
  EXPECT_EQ(Listing(Fw), Expected);
  ASSERT_EQ(Fw.Notes.size(), 3u);
  EXPECT_EQ(Fw.Notes[0], "/dev/vdc1: GPT entry array checksum is wrong; it has no device path");
  // The path handed out is the node and the end node, nothing in front.
  const std::vector<UINT8> &Path = Fw.Volumes[1]->Path;
  ASSERT_EQ(Path.size(), 46u);
  EXPECT_EQ(std::vector<UINT8>(Path.end() - 4, Path.end()), (std::vector<UINT8>{0x7F, 0xFF, 4, 0}));
}

TEST(LinuxVolumes, HandlesByProtocolAsTheDialogueAsksForThem) {
  FakeTree Tree;
  std::vector<UINT8> Broken = GptDisk(512, 4096, Typical);
  Broken[512 + 40]++;
  AddFakeDisk(Tree, "vda", 512, Broken, Typical);
  LinuxFirmware &Fw = FirmwareOver(Tree);
  EFI_BOOT_SERVICES *Boot = Fw.SystemTable.BootServices;
  UINTN Count = 0;
  EFI_HANDLE *Handles = nullptr;
  ASSERT_EQ(Boot->LocateHandleBuffer(ByProtocol, &EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID, nullptr, &Count,
                                     &Handles), EFI_SUCCESS);
  EXPECT_EQ(Count, 2u);
  EXPECT_EQ(Handles[0], Fw.Volumes[1].get());
  VOID *Path = nullptr;
  EXPECT_EQ(Boot->OpenProtocol(Handles[0], &EFI_DEVICE_PATH_PROTOCOL_GUID, &Path, nullptr, nullptr, 0),
            EFI_VOLUME_CORRUPTED);
  Boot->FreePool(Handles);
  ASSERT_EQ(Boot->LocateHandleBuffer(ByProtocol, &EFI_BLOCK_IO_PROTOCOL_GUID, nullptr, &Count, &Handles),
            EFI_SUCCESS);
  EXPECT_EQ(Count, 4u);
  Boot->FreePool(Handles);
}

TEST(LinuxVolumes, LoaderIsLookedForOnTheMountedFileSystem) {
  FakeTree Tree;
  AddFakeDisk(Tree, "vda", 512, GptDisk(512, 4096, Typical), Typical);
  Tree.Write("/proc/self/mountinfo",
             "22 1 254:0 / / rw - ext4 /dev/vda rw\n"
             "30 22 254:1 /sub /elsewhere rw - vfat /dev/vda1 rw\n"
             "31 22 254:1 / /boot/my\\040efi rw,relatime shared:5 master:1 - vfat /dev/vda1 rw\n");
  Tree.Write("/boot/my efi/EFI/test/loader.efi", "MZ");
  LinuxFirmware &Fw = FirmwareOver(Tree);
  EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *FileSystem = &Fw.Volumes[1]->FileSystem;
  EFI_FILE_PROTOCOL *Root = nullptr;
  ASSERT_EQ(FileSystem->OpenVolume(FileSystem, &Root), EFI_SUCCESS);
  const std::pair<const char16_t *, EFI_STATUS> Cases[] = {
      {u"\\EFI\\test\\loader.efi", EFI_SUCCESS},
      {u"\\EFI\\test\\other.efi", EFI_NOT_FOUND},
      {u"\\EFI\\test\\loader.efi\\x", EFI_NOT_FOUND},
  };
  for (auto [Name, Status] : Cases) {
    EFI_FILE_PROTOCOL *File = nullptr;
    EXPECT_EQ(Root->Open(Root, &File, Name, EFI_FILE_MODE_READ, 0), Status);
    if (Status == EFI_SUCCESS) EXPECT_EQ(File->Close(File), EFI_SUCCESS);
  }
  EXPECT_EQ(Root->Close(Root), EFI_SUCCESS);
}

struct RefusalCase {
  const char *Name;
  bool Efi;
  const char *MountInfo;
  uid_t User;
  const char *Refusal;  // the start of the line; "" for none
};

TEST(LinuxRefusals, EachRefusalBeforeAnyQuestion) {
  const char *Rw = "40 22 0:30 / /sys/firmware/efi/efivars rw,nosuid - efivarfs efivarfs rw\n";
  const char *Ro = "40 22 0:30 / /sys/firmware/efi/efivars ro,nosuid - efivarfs efivarfs ro\n";
  const RefusalCase Cases[] = {
      {"no UEFI", false, Rw, 0, "this system was not started through UEFI"},
      {"efivarfs not mounted", true, "22 1 254:0 / / rw - ext4 /dev/vda rw\n", 0,
       "efivarfs is not mounted; mount it with: mount -t efivarfs efivarfs /sys/firmware/efi/efivars"},
      {"not root", true, Rw, 1000, "only root can write boot entries"},
      {"read-only variables", true, Ro, 0, "this firmware keeps its variables for itself"},
      {"all there", true, Rw, 0, ""},
  };
  for (const RefusalCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    FakeTree Tree;
    Tree.Write("/proc/self/mountinfo", Case.MountInfo);
    if (Case.Efi) Tree.Write("/sys/firmware/efi/efivars/.keep", "");
    std::string Refusal = RefusalBeforeDialogue(Tree.Root, Case.User);
    EXPECT_EQ(Refusal.substr(0, std::string(Case.Refusal).size()), Case.Refusal);
    EXPECT_EQ(Refusal.empty(), *Case.Refusal == 0);
  }
}

// SPDX-License-Identifier: BSD-2-Clause-Patent
// The Linux firmware's handles over a fake system: disks before their
// partitions, FAT partitions as file-system volumes, device paths that end
// at the firmware's HD() node, loaders found on the mounted file system,
// and the refusals before any question.
#include <dirent.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <regex>

#include "fake_linux.h"
#include "linux/linux_services.h"
#include "linux/linux_volumes.h"
#include "linux/refusals.h"
#include "linux/volume_selector.h"

static const std::vector<FakePartition> Typical = {
    {34, 2081, true, true}, {2082, 3000, false, true}, {3001, 4000, false, false}};

struct Listed {
  std::u16string Text;
  bool Fat, Esp, HasPath;
};

static std::vector<Listed> Listing(LinuxFirmware &Fw) {
  std::vector<Listed> Out;
  for (auto &V : Fw.Volumes)
    Out.push_back({V->Text, (bool)V->Fat, (bool)V->SystemPartition, !V->Path.empty()});
  return Out;
}

static std::vector<std::string> Entries(const std::string &Folder) {
  std::vector<std::string> Names;
  DIR *Dir = opendir(Folder.c_str());
  while (struct dirent *Entry = Dir == nullptr ? nullptr : readdir(Dir)) {
    if (std::string(".") != Entry->d_name && std::string("..") != Entry->d_name)
      Names.push_back(Entry->d_name);
  }
  if (Dir != nullptr) closedir(Dir);
  std::sort(Names.begin(), Names.end());
  return Names;
}

static bool operator==(const Listed &A, const Listed &B) {
  return A.Text == B.Text && A.Fat == B.Fat && A.Esp == B.Esp && A.HasPath == B.HasPath;
}
static std::ostream &operator<<(std::ostream &Out, const Listed &L) {
  return Out << std::string(L.Text.begin(), L.Text.end()) << (L.Fat ? " FAT" : "")
             << (L.Esp ? " ESP" : "") << (L.HasPath ? "" : " no path");
}

// The services keep the firmware they were installed for: one per test.
static std::unique_ptr<LinuxFirmware> FirmwareOver(const FakeTree &Tree) {
  auto Fw = std::make_unique<LinuxFirmware>();
  Fw->Root = Tree.Root;
  FindVolumes(Fw.get());
  InstallServices(Fw.get());
  return Fw;
}

TEST(LinuxVolumes, DisksThenPartitionsNamedByDeviceAndHardDriveNode) {
  FakeTree Tree;
  AddFakeDisk(Tree, "vda", 512, GptDisk(512, 4096, Typical), Typical);
  const std::vector<FakePartition> Big = {{6, 261, false, true}};
  AddFakeDisk(Tree, "vdb", 4096, GptDisk(4096, 512, Big), Big);
  std::vector<UINT8> Broken = GptDisk(512, 4096, Typical);
  Broken[1024 + 40]++;  // an entry changed behind the checksum's back
  AddFakeDisk(Tree, "vdc", 512, Broken, Typical);
  Tree.Write("/sys/class/block/loop0/size", "0\n");                        // no medium: not listed
  Tree.Write("/sys/class/block/loop1/size", std::string(25, '9') + "\n");  // no sector count either
  std::unique_ptr<LinuxFirmware> Owned = FirmwareOver(Tree);
  LinuxFirmware &Fw = *Owned;
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
  std::unique_ptr<LinuxFirmware> Owned = FirmwareOver(Tree);
  LinuxFirmware &Fw = *Owned;
  EFI_BOOT_SERVICES *Boot = Fw.SystemTable.BootServices;
  UINTN Count = 0;
  EFI_HANDLE *Handles = nullptr;
  ASSERT_EQ(Boot->LocateHandleBuffer(ByProtocol, &EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID, nullptr,
                                     &Count, &Handles),
            EFI_SUCCESS);
  EXPECT_EQ(Count, 2u);
  EXPECT_EQ(Handles[0], Fw.Volumes[1].get());
  VOID *Path = nullptr;
  EXPECT_EQ(
      Boot->OpenProtocol(Handles[0], &EFI_DEVICE_PATH_PROTOCOL_GUID, &Path, nullptr, nullptr, 0),
      EFI_VOLUME_CORRUPTED);
  Boot->FreePool(Handles);
  ASSERT_EQ(
      Boot->LocateHandleBuffer(ByProtocol, &EFI_BLOCK_IO_PROTOCOL_GUID, nullptr, &Count, &Handles),
      EFI_SUCCESS);
  EXPECT_EQ(Count, 4u);
  Boot->FreePool(Handles);
}

// The loader as the firmware's FAT driver finds it: backslashes only, never
// above the volume's root, only a regular file of the volume's own.
TEST(LinuxVolumes, LoaderIsLookedForOnTheMountedFileSystem) {
  FakeTree Tree;
  AddFakeDisk(Tree, "vda", 512, GptDisk(512, 4096, Typical), Typical);
  std::string Mounted = MountFakePartition(Tree, "vda", "vda1", "/boot/my\\040efi");
  Tree.Write("/proc/self/mountinfo",
             "22 1 4094:0 / / rw - ext4 /dev/vda rw\n"
             "30 22 " +
                 Tree.Numbers() + " /sub /elsewhere rw - vfat /dev/vda1 rw\n" +
                 Mounted.replace(Mounted.find(" rw - "), 6, " rw,relatime shared:5 master:1 - "));
  const std::string Esp = "/boot/my efi";
  Tree.Write(Esp + "/EFI/test/loader.efi", "MZ");
  ASSERT_EQ(mkfifo((Tree.Root + Esp + "/EFI/fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("test/loader.efi", (Tree.Root + Esp + "/EFI/link.efi").c_str()), 0);
  ASSERT_EQ(symlink("test", (Tree.Root + Esp + "/EFI/linked").c_str()), 0);
  std::unique_ptr<LinuxFirmware> Owned = FirmwareOver(Tree);
  LinuxFirmware &Fw = *Owned;
  EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *FileSystem = &Fw.Volumes[1]->FileSystem;
  EFI_FILE_PROTOCOL *Root = nullptr;
  ASSERT_EQ(FileSystem->OpenVolume(FileSystem, &Root), EFI_SUCCESS);
  std::u16string Climb;
  for (int I = 0; I < 16; I++) Climb += u"\\..";
  const std::pair<std::u16string, EFI_STATUS> Cases[] = {
      {u"\\EFI\\test\\loader.efi", EFI_SUCCESS},
      {u"EFI\\test\\loader.efi", EFI_SUCCESS},
      {u"\\EFI\\..\\EFI\\.\\test\\loader.efi", EFI_SUCCESS},
      {u"\\EFI\\test\\other.efi", EFI_NOT_FOUND},
      {u"\\EFI\\test\\loader.efi\\x", EFI_NOT_FOUND},
      {u"\\EFI\\test", EFI_NOT_FOUND},  // a folder is no loader
      // Slashes are no separator to the firmware: not even the host's files.
      {u"EFI/test/loader.efi", EFI_NOT_FOUND},
      {u"/etc/passwd", EFI_NOT_FOUND},
      {Climb + u"\\etc\\passwd", EFI_NOT_FOUND},  // never above the volume's root
      {u"\\EFI\\fifo", EFI_NOT_FOUND},            // not opened: it would wait for a writer
      {u"\\EFI\\link.efi", EFI_NOT_FOUND},        // FAT has no links
      {u"\\EFI\\linked\\loader.efi", EFI_NOT_FOUND},
  };
  for (const auto &[Name, Status] : Cases) {
    SCOPED_TRACE(std::string(Name.begin(), Name.end()));
    EFI_FILE_PROTOCOL *File = nullptr;
    EXPECT_EQ(Root->Open(Root, &File, Name.c_str(), EFI_FILE_MODE_READ, 0), Status);
    if (Status == EFI_SUCCESS && File != nullptr) EXPECT_EQ(File->Close(File), EFI_SUCCESS);
  }
  EXPECT_EQ(Root->Close(Root), EFI_SUCCESS);
  // The dialogue says only "not found": why, for a path with slashes, after it.
  EXPECT_EQ(Fw.Notes,
            std::vector<std::string>{
                "the firmware separates folders with \\ only: a path written with / is not "
                "found on it"});
}

struct MountCase {
  const char *Name;
  const char *MountInfo;  // before the partition's own mount at /esp; @ is its numbers
  const char *Stale;      // the file in EFI\test where /over leads, on another file system
  bool Found;             // the loader on /esp
};

// The mount table is text: the folder it names must hold the partition's
// own file system, or the loader checked would be another one.
TEST(LinuxVolumes, LoaderIsLookedForOnThePartitionItself) {
  const MountCase Cases[] = {
      {"a file system mounted over a parent of the mount point",
       "30 22 @ / /over/esp rw - vfat /dev/vda1 rw\n", "loader.efi", false},
      {"a mount point gone", "30 22 @ / /esp\\040(deleted) rw - vfat /dev/vda1 rw\n", "loader.efi",
       true},
      {"a mount point hidden, then the partition's own",
       "30 22 @ / /over/esp rw - vfat /dev/vda1 rw\n", "stale.efi", true},
  };
  for (const MountCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    FakeTree Tree;
    FakeTree Elsewhere("/dev/shm");
    ASSERT_NE(Elsewhere.Numbers(), Tree.Numbers());
    AddFakeDisk(Tree, "vda", 512, GptDisk(512, 4096, Typical), Typical);
    std::string Own = MountFakePartition(Tree, "vda", "vda1", "/esp");
    std::string Table =
        std::regex_replace(std::string(Case.MountInfo), std::regex("@"), Tree.Numbers());
    Tree.Write("/proc/self/mountinfo", Table + (Case.Found ? Own : ""));
    Tree.Write("/esp/EFI/test/loader.efi", "MZ");
    // A stale loader where /over leads: on another file system.
    Elsewhere.Write("/esp/EFI/test/" + std::string(Case.Stale), "MZ");
    ASSERT_EQ(symlink(Elsewhere.Root.c_str(), (Tree.Root + "/over").c_str()), 0);
    std::unique_ptr<LinuxFirmware> Fw = FirmwareOver(Tree);
    EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *FileSystem = &Fw->Volumes[1]->FileSystem;
    EFI_FILE_PROTOCOL *Root = nullptr;
    EFI_FILE_PROTOCOL *File = nullptr;
    EFI_STATUS Status = FileSystem->OpenVolume(FileSystem, &Root);
    if (Status == EFI_SUCCESS) {
      Status = Root->Open(Root, &File, u"\\EFI\\test\\loader.efi", EFI_FILE_MODE_READ, 0);
      if (Status == EFI_SUCCESS) File->Close(File);
      Root->Close(Root);
    }
    EXPECT_EQ(Status == EFI_SUCCESS, Case.Found) << Status;
  }
}

// Without the right to mount, as in a container: no mount is made where
// everyone would see it, no folder is left for it, and the user is told why.
static bool DropMountRight() {
  __user_cap_header_struct Header = {_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct Data[2] = {};
  if (syscall(SYS_capget, &Header, Data) != 0) return false;
  Data[CAP_SYS_ADMIN / 32].effective &= ~(1u << (CAP_SYS_ADMIN % 32));
  Data[CAP_SYS_ADMIN / 32].permitted &= ~(1u << (CAP_SYS_ADMIN % 32));
  return syscall(SYS_capset, &Header, Data) == 0;
}

TEST(LinuxVolumes, NoTemporaryMountWithoutANamespaceOfItsOwn) {
  FakeTree Tree;
  AddFakeDisk(Tree, "vda", 512, GptDisk(512, 4096, Typical), Typical);
  Tree.Write("/proc/self/mountinfo", "22 1 4094:0 / / rw - ext4 /dev/vda rw\n");
  Tree.Write("/tmp/.keep", "");
  pid_t Child = fork();
  if (Child == 0) {
    // Each mismatch its own exit status, read below.
    if (!DropMountRight()) _exit(10);
    std::unique_ptr<LinuxFirmware> Fw = FirmwareOver(Tree);
    EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *FileSystem = &Fw->Volumes[1]->FileSystem;
    EFI_FILE_PROTOCOL *Root = nullptr;
    if (FileSystem->OpenVolume(FileSystem, &Root) != EFI_ACCESS_DENIED) _exit(11);
    const std::string Said =
        "/dev/vda1 is not mounted, and cannot be mounted where only this program sees it";
    if (Fw->Notes.size() != 1 || Fw->Notes[0].compare(0, Said.size(), Said) != 0) _exit(12);
    _exit(0);
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  ASSERT_TRUE(WIFEXITED(Status)) << Status;
  EXPECT_EQ(WEXITSTATUS(Status), 0) << "10: right kept, 11: another status, 12: another note";
  EXPECT_EQ(Entries(Tree.Root + "/tmp"), std::vector<std::string>{".keep"});
}

TEST(LinuxVolumes, PathSelectorsNameThePartitionByItsUniqueGuidOrMbrSignature) {
  FakeTree Tree;
  AddFakeDisk(Tree, "vda", 512, GptDisk(512, 4096, Typical), Typical);
  AddFakeDisk(Tree, "sda", 512, MbrDisk(0x1234ABCD, 4096, Typical), Typical);
  for (const char *Part : {"sda1", "sda2", "sda3"}) {
    Tree.Write(std::string("/sys/class/block/sda/") + Part + "/dev",
               std::string("8:") + Part[3] + "\n");
  }
  std::vector<UINT8> Broken = GptDisk(512, 4096, Typical);
  Broken[1024 + 40]++;
  AddFakeDisk(Tree, "vdc", 512, Broken, Typical);
  Tree.Write("/sys/class/block/vdc/vdc1/dev", "254:91\n");
  for (const char *Part : {"vda1", "vda3", "sda2", "vdc1"})
    Tree.Write(std::string("/dev/") + Part, "");
  ASSERT_EQ(symlink("vda1", (Tree.Root + "/dev/by-partuuid-vda1").c_str()), 0);
  Tree.Write("/proc/self/mountinfo",
             "22 1 4094:0 / / rw - ext4 /dev/vda rw\n"
             "30 22 4094:1 / /boot/efi rw - vfat /dev/vda1 rw\n"
             "31 22 8:2 / /mnt/usb rw - vfat /dev/sda2 rw\n"
             "32 22 4094:3 / /boot rw - ext4 /dev/vda3 rw\n"
             "33 22 4094:3 / /mnt/usb rw - ext4 /dev/vda3 rw\n"  // over the stick
             "34 22 0:40 / /mnt/other rw - vfat /dev/loop9 rw\n"
             "35 22 254:91 / /mnt/broken rw - vfat /dev/vdc1 rw\n");
  Tree.Write("/boot/efi/.keep", "");
  for (const char *Folder : {"/mnt/usb", "/mnt/other", "/mnt/broken", "/srv"}) {
    Tree.Write(std::string(Folder) + "/.keep", "");
  }
  std::unique_ptr<LinuxFirmware> Owned = FirmwareOver(Tree);
  LinuxFirmware &Fw = *Owned;
  const std::string Gpt1 = "PARTUUID=13121110-1514-1716-1819-1a1b1c1d1e1f";
  const std::pair<const char *, std::string> Cases[] = {
      {"/dev/vda1", Gpt1},
      {"/dev/by-partuuid-vda1", Gpt1},
      {"/dev/../dev/vda3", "PARTUUID=33323130-3534-3736-3839-3a3b3c3d3e3f"},
      {"/dev/sda2", "PARTUUID=1234abcd-02"},
      {"/boot/efi", Gpt1},
      {"/boot/efi/", Gpt1},
      {"/boot", "! the file system mounted on /boot is ext4, not FAT"},
      {"/mnt/usb", "! the file system mounted on /mnt/usb is ext4, not FAT"},
      {"/srv", "! no file system is mounted on /srv"},
      {"/mnt/other", "! mounted on /mnt/other is device 0:40, not a partition this program lists"},
      {"/mnt/broken", "! /dev/vdc1 has no device path (said after the run)"},
      {"/dev/vdc1", "! /dev/vdc1 has no device path (said after the run)"},
      {"/dev/vda", "! /dev/vda is a whole disk; name one of its partitions"},
      {"/boot/efi/.keep", "! /boot/efi/.keep is not a disk or partition this program lists"},
      {"/dev/vdz1", "! No such file or directory"},
  };
  for (const auto &[Value, Expected] : Cases) {
    std::string Selector;
    std::string Why = PartitionSelector(Fw, Value, &Selector);
    EXPECT_EQ(Why.empty() ? Selector : "! " + Why, Expected) << Value;
  }
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
       "efivarfs is not mounted; mount it with: mount -t efivarfs efivarfs "
       "/sys/firmware/efi/efivars"},
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

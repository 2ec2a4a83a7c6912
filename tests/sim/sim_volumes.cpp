// SPDX-License-Identifier: BSD-2-Clause-Patent
// Volumes, block devices and the two device path protocols of the simulated
// firmware. Device paths are real node bytes; a volume's files are names that
// Open finds exactly as given, relative to the root directory.
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "sim_firmware.h"

struct SimVolume {
  EFI_SIMPLE_FILE_SYSTEM_PROTOCOL FileSystem;  // first: OpenVolume's This leads back here
  std::set<std::u16string> Files;
};

struct SimFile {
  EFI_FILE_PROTOCOL Protocol;  // first: Open's and Close's This lead back here
  SimVolume *Volume;
};

struct SimVolumeStore {
  std::vector<std::unique_ptr<SimVolume>> Volumes;
  std::vector<std::unique_ptr<SimPath>> Paths;  // the bytes behind each Device Path protocol
  std::map<const void *, std::u16string> Texts;
  // How many bytes lie behind each installed path: the validity rule's bound.
  std::map<const void *, size_t> Buffers;
  std::vector<std::unique_ptr<SimFile>> Files;
  std::set<EFI_FILE_PROTOCOL *> OpenFiles;
  EFI_DEVICE_PATH_TO_TEXT_PROTOCOL DevicePathToText{};
  EFI_DEVICE_PATH_UTILITIES_PROTOCOL Utilities{};
  UINT8 BlockIo = 0;          // never called: its GUID only marks block devices
  UINT8 SystemPartition = 0;  // likewise, for the ESP's handle
};

static std::map<const SimFirmware *, SimVolumeStore> Stores;

static SimVolumeStore &Store() { return Stores[SimFirmware::Current]; }

// ---- Device path nodes

// Every path and node is sized before it is filled: a fuzzer builds
// thousands a second, and each regrowth is one more allocation.
static SimPath Node(UINT8 Type, UINT8 SubType, const SimPath &Data) {
  UINTN Length = 4 + Data.size();
  SimPath Bytes;
  Bytes.reserve(Length);
  Bytes.insert(Bytes.end(), {Type, SubType, (UINT8)(Length & 0xFF), (UINT8)(Length >> 8)});
  Bytes.insert(Bytes.end(), Data.begin(), Data.end());
  return Bytes;
}

static void PutLittleEndian(SimPath &Bytes, UINT64 Value, int Count) {
  for (int I = 0; I < Count; I++) Bytes.push_back((UINT8)(Value >> (8 * I)));
}

SimPath PciRootNode(UINT32 Uid) {
  SimPath Data;
  Data.reserve(8);
  PutLittleEndian(Data, 0x0A0341D0, 4);  // EISA id of PNP0A03
  PutLittleEndian(Data, Uid, 4);
  return Node(0x02, 0x01, Data);
}

SimPath PciNode(UINT8 Device, UINT8 Function) { return Node(0x01, 0x01, {Function, Device}); }

SimPath HardDriveNode(UINT32 Partition, UINT64 StartLba, UINT64 SizeLba) {
  SimPath Data;
  Data.reserve(38);
  PutLittleEndian(Data, Partition, 4);
  PutLittleEndian(Data, StartLba, 8);
  PutLittleEndian(Data, SizeLba, 8);
  for (int I = 0; I < 16; I++) Data.push_back((UINT8)(0xA0 + Partition + I));  // GPT GUID
  Data.push_back(0x02);  // GPT partition table
  Data.push_back(0x02);  // GUID signature
  return Node(MEDIA_DEVICE_PATH, MEDIA_HARDDRIVE_DP, Data);
}

SimPath FilePathNode(const std::u16string &Name) {
  SimPath Data;
  Data.reserve(2 * (Name.size() + 1));
  for (CHAR16 C : Name) PutLittleEndian(Data, C, 2);
  PutLittleEndian(Data, 0, 2);
  return Node(MEDIA_DEVICE_PATH, MEDIA_FILEPATH_DP, Data);
}

SimPath EndInstanceNode() {
  return Node(END_DEVICE_PATH_TYPE, END_INSTANCE_DEVICE_PATH_SUBTYPE, {});
}
SimPath EndNode() { return Node(END_DEVICE_PATH_TYPE, END_ENTIRE_DEVICE_PATH_SUBTYPE, {}); }

SimPath operator+(SimPath Left, const SimPath &Right) {
  Left.insert(Left.end(), Right.begin(), Right.end());
  return Left;
}

// ---- Handles

static void InstallPathBytes(SimFirmware &Fw, EFI_HANDLE Handle, const UINT8 *Bytes,
                             size_t BufferBytes, const std::u16string &Text) {
  Stores[&Fw].Texts[Bytes] = Text;
  Stores[&Fw].Buffers[Bytes] = BufferBytes;
  Fw.Install(Handle, EFI_DEVICE_PATH_PROTOCOL_GUID, const_cast<UINT8 *>(Bytes));
}

static void InstallDevicePath(SimFirmware &Fw, EFI_HANDLE Handle, SimPath Path,
                              const std::u16string &Text) {
  if (Path.empty()) return;  // a handle without a Device Path protocol
  SimVolumeStore &S = Stores[&Fw];
  S.Paths.push_back(std::make_unique<SimPath>(std::move(Path)));
  InstallPathBytes(Fw, Handle, S.Paths.back()->data(), S.Paths.back()->size(), Text);
}

static EFI_STATUS EFIAPI SimOpenVolume(EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *, EFI_FILE_PROTOCOL **);

EFI_HANDLE AddVolume(SimFirmware &Fw, SimPath Path, const std::u16string &Text,
                     const std::set<std::u16string> &Files) {
  SimVolumeStore &S = Stores[&Fw];
  S.Volumes.push_back(std::make_unique<SimVolume>());
  SimVolume *Volume = S.Volumes.back().get();
  Volume->FileSystem.OpenVolume = SimOpenVolume;
  Volume->Files = Files;
  // A partition that the firmware reads is also a block device, as on real machines.
  EFI_HANDLE Handle = AddBlockDevice(Fw, std::move(Path), Text);
  Fw.Install(Handle, EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID, &Volume->FileSystem);
  return Handle;
}

void AddFile(SimFirmware &, EFI_HANDLE Volume, const std::u16string &Name) {
  for (const auto &[Guid, Interface] : static_cast<SimHandle *>(Volume)->Protocols) {
    if (std::memcmp(&Guid, &EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID, sizeof Guid) == 0) {
      static_cast<SimVolume *>(Interface)->Files.insert(Name);
    }
  }
}

void MarkSystemPartition(SimFirmware &Fw, EFI_HANDLE Handle) {
  Fw.Install(Handle, EFI_PART_TYPE_EFI_SYSTEM_PART_GUID, &Stores[&Fw].SystemPartition);
}

static EFI_HANDLE NewBlockDevice(SimFirmware &Fw) {
  EFI_HANDLE Handle = Fw.NewHandle();
  Fw.Install(Handle, EFI_BLOCK_IO_PROTOCOL_GUID, &Stores[&Fw].BlockIo);
  return Handle;
}

EFI_HANDLE AddBlockDevice(SimFirmware &Fw, SimPath Path, const std::u16string &Text) {
  EFI_HANDLE Handle = NewBlockDevice(Fw);
  InstallDevicePath(Fw, Handle, std::move(Path), Text);
  return Handle;
}

EFI_HANDLE AddBlockDevice(SimFirmware &Fw, const UINT8 *KeptPath, const std::u16string &Text) {
  EFI_HANDLE Handle = NewBlockDevice(Fw);
  InstallPathBytes(Fw, Handle, KeptPath, SimPathMaxBytes, Text);
  return Handle;
}

// ---- Files

size_t OpenFileCount(SimFirmware &Fw) { return Stores[&Fw].OpenFiles.size(); }

static EFI_STATUS EFIAPI SimFileOpen(EFI_FILE_PROTOCOL *, EFI_FILE_PROTOCOL **, const CHAR16 *,
                                     UINT64, UINT64);
static EFI_STATUS EFIAPI SimFileClose(EFI_FILE_PROTOCOL *);

static EFI_FILE_PROTOCOL *NewOpenFile(SimVolume *Volume) {
  Store().Files.push_back(std::make_unique<SimFile>());
  SimFile *File = Store().Files.back().get();
  File->Protocol.Open = SimFileOpen;
  File->Protocol.Close = SimFileClose;
  File->Volume = Volume;
  Store().OpenFiles.insert(&File->Protocol);
  return &File->Protocol;
}

static EFI_STATUS EFIAPI SimOpenVolume(EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *This,
                                       EFI_FILE_PROTOCOL **Root) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::OpenVolume, CALLER, &Status)) return Status;
  *Root =
      Sim().Lie == SimLie::NullResult ? nullptr : NewOpenFile(reinterpret_cast<SimVolume *>(This));
  return Sim().Success();
}

static EFI_STATUS EFIAPI SimFileOpen(EFI_FILE_PROTOCOL *This, EFI_FILE_PROTOCOL **NewHandle,
                                     const CHAR16 *FileName, UINT64 OpenMode, UINT64 Attributes) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::FileOpen, CALLER, &Status)) return Status;
  if (OpenMode != EFI_FILE_MODE_READ || Attributes != 0) return EFI_INVALID_PARAMETER;
  SimVolume *Volume = reinterpret_cast<SimFile *>(This)->Volume;
  if (Volume->Files.count(FileName) == 0) return EFI_NOT_FOUND;
  *NewHandle = Sim().Lie == SimLie::NullResult ? nullptr : NewOpenFile(Volume);
  if (*NewHandle != nullptr) OpenedSimFile(*NewHandle, &Volume->FileSystem, FileName);
  return Sim().Success();
}

static EFI_STATUS EFIAPI SimFileClose(EFI_FILE_PROTOCOL *This) {
  if (Store().OpenFiles.erase(This) == 0) Sim().PoolErrors.push_back("close of a file not open");
  return EFI_SUCCESS;
}

// ---- Device path protocols

static UINTN NodeLength(const UINT8 *Node) { return Node[2] | (Node[3] << 8); }

// EDK2's rule for a device path, the one rule every service below applies:
// each node at least its 4-byte header long, every node within the path's
// buffer, and the end-of-entire-path node exactly 4 bytes. The size through
// that end node, or 0 for a path that breaks the rule. An installed path's
// buffer is its bytes (a malformed one is handed out zero-filled up to
// SimPathMaxBytes); any other path, one that AppendDeviceNode made, is
// well formed and ends before SimPathMaxBytes.
static UINTN ValidPathSize(const EFI_DEVICE_PATH_PROTOCOL *Path) {
  auto Installed = Store().Buffers.find(Path);
  UINTN Bound = Installed == Store().Buffers.end() ? SimPathMaxBytes : Installed->second;
  const UINT8 *Bytes = reinterpret_cast<const UINT8 *>(Path);
  UINTN Size = 0;
  while (Bound - Size >= 4) {
    const UINT8 *Node = Bytes + Size;
    UINTN Length = NodeLength(Node);
    if (Length < 4 || Length > Bound - Size) return 0;
    Size += Length;
    if (Node[0] == END_DEVICE_PATH_TYPE && Node[1] == END_ENTIRE_DEVICE_PATH_SUBTYPE) {
      return Length == 4 ? Size : 0;
    }
  }
  return 0;
}

// The text of an installed path as given; a path that breaks the rule has
// none (EDK2 would walk it as far as its lengths lead).
static CHAR16 *EFIAPI SimConvertDevicePathToText(const EFI_DEVICE_PATH_PROTOCOL *Path,
                                                 BOOLEAN DisplayOnly, BOOLEAN AllowShortcuts) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::ConvertDevicePathToText, CALLER, &Status)) return nullptr;
  if (Path == nullptr || ValidPathSize(Path) == 0) return nullptr;
  auto Found = Store().Texts.find(Path);
  std::u16string Text = Found == Store().Texts.end() ? u"?" : Found->second;
  if (!DisplayOnly || !AllowShortcuts) Text += u" (long form)";
  auto *Out = static_cast<CHAR16 *>(Sim().Allocate((Text.size() + 1) * sizeof(CHAR16)));
  for (size_t I = 0; I <= Text.size(); I++) Out[I] = Text.c_str()[I];
  return Out;
}

static UINTN EFIAPI SimGetDevicePathSize(const EFI_DEVICE_PATH_PROTOCOL *Path) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::GetDevicePathSize, CALLER, &Status)) return 0;
  UINTN Size = Path == nullptr ? 0 : ValidPathSize(Path);
  if (Sim().Lie == SimLie::SizeLarger) return Size + 2;
  if (Sim().Lie == SimLie::SizeSmaller) return Size - std::min<UINTN>(Size, 2);
  return Size;
}

static EFI_DEVICE_PATH_PROTOCOL *EFIAPI SimAppendDeviceNode(const EFI_DEVICE_PATH_PROTOCOL *Path,
                                                            const EFI_DEVICE_PATH_PROTOCOL *Node) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::AppendDeviceNode, CALLER, &Status)) return nullptr;
  const UINT8 *Front = reinterpret_cast<const UINT8 *>(Path);
  UINTN FrontSize = 0;
  if (Path != nullptr) {
    FrontSize = ValidPathSize(Path);
    if (FrontSize == 0) return nullptr;  // malformed: EDK2 answers NULL too
    FrontSize -= 4;                      // the end node goes after the new node
  }
  // EDK2 closes the node with an end node and judges that path too.
  const UINT8 *NodeBytes = reinterpret_cast<const UINT8 *>(Node);
  if (Node != nullptr && NodeLength(NodeBytes) < 4) return nullptr;
  SimPath Joined(Front, Front + FrontSize);
  if (Node != nullptr) Joined.insert(Joined.end(), NodeBytes, NodeBytes + NodeLength(NodeBytes));
  Joined = Joined + EndNode();
  void *Out = Sim().Allocate(Joined.size());
  std::copy(Joined.begin(), Joined.end(), static_cast<UINT8 *>(Out));
  return static_cast<EFI_DEVICE_PATH_PROTOCOL *>(Out);
}

void InstallSimVolumes(SimFirmware &Fw) {
  SimVolumeStore &S = Stores[&Fw] = SimVolumeStore();
  S.DevicePathToText.ConvertDevicePathToText = SimConvertDevicePathToText;
  S.Utilities.GetDevicePathSize = SimGetDevicePathSize;
  S.Utilities.AppendDeviceNode = SimAppendDeviceNode;
  Fw.InstallGlobal(EFI_DEVICE_PATH_TO_TEXT_PROTOCOL_GUID, &S.DevicePathToText);
  Fw.InstallGlobal(EFI_DEVICE_PATH_UTILITIES_PROTOCOL_GUID, &S.Utilities);
}

void DropSimVolumes(const SimFirmware &Sim) { Stores.erase(&Sim); }

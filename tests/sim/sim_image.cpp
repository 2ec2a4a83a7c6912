// SPDX-License-Identifier: BSD-2-Clause-Patent
// The application's own image as the firmware describes it (Loaded Image
// protocol: load options, device, file path) and the contents of the files
// it reads.
#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "sim_firmware.h"

struct SimOpenedFile {
  const std::string *Bytes;  // NULL: a listed file without contents
  size_t Position;
};

struct SimImageStore {
  EFI_LOADED_IMAGE_PROTOCOL Image{};
  SimPath FilePath;
  std::vector<UINT8> LoadOptions;
  std::map<std::pair<const void *, std::u16string>, std::string> Contents;
  std::map<const EFI_FILE_PROTOCOL *, SimOpenedFile> Opened;
};

static std::map<const SimFirmware *, SimImageStore> Stores;

EFI_LOADED_IMAGE_PROTOCOL &LoadedImageOf(SimFirmware &Fw) { return Stores[&Fw].Image; }

void SetLoadOptions(SimFirmware &Fw, const std::vector<UINT8> &Bytes) {
  SimImageStore &S = Stores[&Fw];
  S.LoadOptions = Bytes;
  S.Image.LoadOptions = S.LoadOptions.empty() ? nullptr : S.LoadOptions.data();
  S.Image.LoadOptionsSize = (UINT32)S.LoadOptions.size();
}

std::vector<UINT8> Ucs2Bytes(const std::u16string &Text, bool WithNul) {
  std::vector<UINT8> Bytes;
  for (CHAR16 C : Text) Bytes.insert(Bytes.end(), {(UINT8)(C & 0xFF), (UINT8)(C >> 8)});
  if (WithNul) Bytes.insert(Bytes.end(), {0, 0});
  return Bytes;
}

void SetImageFile(SimFirmware &Fw, EFI_HANDLE Device, SimPath File) {
  SimImageStore &S = Stores[&Fw];
  S.FilePath = std::move(File);
  S.Image.DeviceHandle = Device;
  S.Image.FilePath = reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(S.FilePath.data());
}

static const void *FileSystemOf(SimFirmware &Fw, EFI_HANDLE Handle) {
  for (auto &[Guid, Interface] : static_cast<SimHandle *>(Handle)->Protocols) {
    if (std::memcmp(&Guid, &EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID, sizeof Guid) == 0) {
      return Interface;
    }
  }
  (void)Fw;
  return nullptr;
}

void PutFileContents(SimFirmware &Fw, EFI_HANDLE Volume, const std::u16string &Name,
                     const std::string &Bytes) {
  Stores[&Fw].Contents[{FileSystemOf(Fw, Volume), Name}] = Bytes;
}

// As EDK2's FAT driver: at most what is left from the position, none at the
// end, and a buffer is required for any size but zero.
static EFI_STATUS EFIAPI SimFileRead(EFI_FILE_PROTOCOL *This, UINTN *BufferSize, VOID *Buffer) {
  EFI_STATUS Status;
  if (Sim().Fails(SimCall::FileRead, CALLER, &Status)) return Status;
  auto Found = Stores[SimFirmware::Current].Opened.find(This);
  if (Found == Stores[SimFirmware::Current].Opened.end() || BufferSize == nullptr ||
      (*BufferSize != 0 && Buffer == nullptr)) {
    return EFI_INVALID_PARAMETER;
  }
  SimOpenedFile &File = Found->second;
  size_t Size = File.Bytes == nullptr ? 0 : File.Bytes->size();
  size_t Count = std::min<size_t>(*BufferSize, Size - File.Position);
  if (Count != 0) std::memcpy(Buffer, File.Bytes->data() + File.Position, Count);
  File.Position += Count;
  *BufferSize = Sim().Lie == SimLie::SizeLarger ? *BufferSize + 1 : Count;
  return Sim().Success();
}

void OpenedSimFile(EFI_FILE_PROTOCOL *File, const EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *Volume,
                   const CHAR16 *Name) {
  SimImageStore &S = Stores[SimFirmware::Current];
  auto Found = S.Contents.find({Volume, Name});
  S.Opened[File] = {Found == S.Contents.end() ? nullptr : &Found->second, 0};
  File->Read = SimFileRead;
}

void InstallSimImage(SimFirmware &Fw) {
  SimImageStore &S = Stores[&Fw] = SimImageStore();
  S.Image.Revision = 0x1000;
  S.Image.SystemTable = &Fw.SystemTable;
  S.Image.ParentHandle = nullptr;
  Fw.Install(Fw.ImageHandle, EFI_LOADED_IMAGE_PROTOCOL_GUID, &S.Image);
  SetImageFile(Fw, nullptr, FilePathNode(u"\\EFI\\BOOT\\BOOTAA64.EFI") + EndNode());
}

void DropSimImage(const SimFirmware &Fw) { Stores.erase(&Fw); }

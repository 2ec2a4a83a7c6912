// SPDX-License-Identifier: BSD-2-Clause-Patent
// Loaded Image protocol: how a started image finds its load options (the
// Shell's command line or a boot entry's optional data), the volume it was
// loaded from and its own file path there.
#pragma once
#include "efi_device_path.h"
#include "efi_types.h"

inline constexpr EFI_GUID EFI_LOADED_IMAGE_PROTOCOL_GUID = {
    0x5b1b31a1, 0x9562, 0x11d2, {0x8e, 0x3f, 0x00, 0xa0, 0xc9, 0x69, 0x72, 0x3b}};

struct EFI_SYSTEM_TABLE;

struct EFI_LOADED_IMAGE_PROTOCOL {
  UINT32 Revision;
  EFI_HANDLE ParentHandle;
  EFI_SYSTEM_TABLE *SystemTable;
  EFI_HANDLE DeviceHandle;
  EFI_DEVICE_PATH_PROTOCOL *FilePath;
  VOID *Reserved;
  UINT32 LoadOptionsSize;
  VOID *LoadOptions;
  VOID *ImageBase;
  UINT64 ImageSize;
  UINT32 ImageCodeType;
  UINT32 ImageDataType;
  VOID *Unload;
};
static_assert(__builtin_offsetof(EFI_LOADED_IMAGE_PROTOCOL, DeviceHandle) == EFI_SLOTS(3),
              "LoadedImage");
static_assert(__builtin_offsetof(EFI_LOADED_IMAGE_PROTOCOL, FilePath) == EFI_SLOTS(4),
              "LoadedImage");
static_assert(__builtin_offsetof(EFI_LOADED_IMAGE_PROTOCOL, LoadOptionsSize) == EFI_SLOTS(6),
              "LoadedImage");
static_assert(__builtin_offsetof(EFI_LOADED_IMAGE_PROTOCOL, LoadOptions) == EFI_SLOTS(7),
              "LoadedImage");

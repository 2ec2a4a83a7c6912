// Loaded Image protocol: how a started image finds its load options.
#pragma once
#include "efi_device_path.h"
#include "efi_types.h"

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
static_assert(__builtin_offsetof(EFI_LOADED_IMAGE_PROTOCOL, LoadOptionsSize) == EFI_SLOTS(6),
              "LoadedImage");
static_assert(__builtin_offsetof(EFI_LOADED_IMAGE_PROTOCOL, LoadOptions) == EFI_SLOTS(7),
              "LoadedImage");

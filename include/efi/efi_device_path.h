// SPDX-License-Identifier: BSD-2-Clause-Patent
// Device path nodes and the two device path protocols we call.
#pragma once
#include "efi_types.h"

#define MEDIA_DEVICE_PATH 0x04
#define MEDIA_HARDDRIVE_DP 0x01
#define MEDIA_FILEPATH_DP 0x04
#define END_DEVICE_PATH_TYPE 0x7F
#define END_ENTIRE_DEVICE_PATH_SUBTYPE 0xFF
#define END_INSTANCE_DEVICE_PATH_SUBTYPE 0x01

// Length is two little-endian bytes, not a UINT16: nodes sit at any offset.
struct EFI_DEVICE_PATH_PROTOCOL {
  UINT8 Type;
  UINT8 SubType;
  UINT8 Length[2];
};
static_assert(sizeof(EFI_DEVICE_PATH_PROTOCOL) == 4, "device path node header");

static inline UINTN DevicePathNodeLength(const EFI_DEVICE_PATH_PROTOCOL *Node) {
  return (UINTN)Node->Length[0] | ((UINTN)Node->Length[1] << 8);
}

static inline BOOLEAN IsEndOfPath(const EFI_DEVICE_PATH_PROTOCOL *Node) {
  return Node->Type == END_DEVICE_PATH_TYPE && Node->SubType == END_ENTIRE_DEVICE_PATH_SUBTYPE;
}

// The end-of-entire-path node's bytes, that close every path.
inline constexpr UINT8 END_OF_PATH_NODE[4] = {END_DEVICE_PATH_TYPE, END_ENTIRE_DEVICE_PATH_SUBTYPE,
                                              4, 0};

typedef CHAR16 *(EFIAPI *EFI_DEVICE_PATH_TO_TEXT_NODE)(const EFI_DEVICE_PATH_PROTOCOL *DeviceNode,
                                                       BOOLEAN DisplayOnly, BOOLEAN AllowShortcuts);
typedef CHAR16 *(EFIAPI *EFI_DEVICE_PATH_TO_TEXT_PATH)(const EFI_DEVICE_PATH_PROTOCOL *DevicePath,
                                                       BOOLEAN DisplayOnly, BOOLEAN AllowShortcuts);

struct EFI_DEVICE_PATH_TO_TEXT_PROTOCOL {
  EFI_DEVICE_PATH_TO_TEXT_NODE ConvertDeviceNodeToText;
  EFI_DEVICE_PATH_TO_TEXT_PATH ConvertDevicePathToText;
};
static_assert(__builtin_offsetof(EFI_DEVICE_PATH_TO_TEXT_PROTOCOL, ConvertDevicePathToText) ==
                  EFI_SLOTS(1),
              "DevicePathToText");

typedef UINTN(EFIAPI *EFI_DEVICE_PATH_UTILS_GET_DEVICE_PATH_SIZE)(
    const EFI_DEVICE_PATH_PROTOCOL *DevicePath);
typedef EFI_DEVICE_PATH_PROTOCOL *(EFIAPI *EFI_DEVICE_PATH_UTILS_APPEND_NODE)(
    const EFI_DEVICE_PATH_PROTOCOL *DevicePath, const EFI_DEVICE_PATH_PROTOCOL *DeviceNode);

struct EFI_DEVICE_PATH_UTILITIES_PROTOCOL {
  EFI_DEVICE_PATH_UTILS_GET_DEVICE_PATH_SIZE GetDevicePathSize;
  VOID *DuplicateDevicePath;
  VOID *AppendDevicePath;
  EFI_DEVICE_PATH_UTILS_APPEND_NODE AppendDeviceNode;
  VOID *AppendDevicePathInstance;
  VOID *GetNextDevicePathInstance;
  VOID *IsDevicePathMultiInstance;
  VOID *CreateDeviceNode;
};
static_assert(__builtin_offsetof(EFI_DEVICE_PATH_UTILITIES_PROTOCOL, GetDevicePathSize) == 0,
              "DevicePathUtilities");
static_assert(__builtin_offsetof(EFI_DEVICE_PATH_UTILITIES_PROTOCOL, AppendDeviceNode) ==
                  EFI_SLOTS(3),
              "DevicePathUtilities");

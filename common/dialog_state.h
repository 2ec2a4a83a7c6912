// SPDX-License-Identifier: BSD-2-Clause-Patent
// The record of the dialogue's results. The entry point owns the one instance;
// steps pass results to each other only through it. Exactly seven fields own
// pool buffers (marked "pool"): each is stored here the moment the call that
// makes it returns, and only the common clean-up frees them.
#pragma once
#include "common/run_options.h"
#include "efi.h"

#define DESCRIPTION_CAPACITY 32
#define LOADER_PATH_CAPACITY 64
#define ROOT_PATH_CAPACITY 32
// "Boot", four digits and a NUL.
#define OPTION_NAME_LENGTH 9

// A File Path media node with room for the typed path and its NUL.
struct LoaderPathNode {
  EFI_DEVICE_PATH_PROTOCOL Header;
  CHAR16 PathName[LOADER_PATH_CAPACITY];
};
struct RootPathNode {
  EFI_DEVICE_PATH_PROTOCOL Header;
  CHAR16 PathName[ROOT_PATH_CAPACITY];
};
static_assert(sizeof(LoaderPathNode) == 4 + 2 * LOADER_PATH_CAPACITY, "no padding in node");
static_assert(sizeof(RootPathNode) == 4 + 2 * ROOT_PATH_CAPACITY, "no padding in node");

// A volume's device path with a File Path node appended, and its short form:
// the tail from the first hard-drive node through the end node.
struct FileDevicePath {
  EFI_DEVICE_PATH_PROTOCOL *Full;   // pool
  EFI_DEVICE_PATH_PROTOCOL *Short;  // points into Full
  UINTN ShortSize;
};

struct DialogState {
  // The answers of an unattended run; NULL for the dialogue.
  const RunOptions *Options;

  UINTN SfsHandleCount;
  EFI_HANDLE *SfsHandles;  // pool
  UINTN BlockIoHandleCount;
  EFI_HANDLE *BlockIoHandles;  // pool
  EFI_DEVICE_PATH_TO_TEXT_PROTOCOL *DevicePathToText;

  UINTN HomeIndex;
  EFI_HANDLE homevolh;
  EFI_DEVICE_PATH_PROTOCOL *homevoldp;

  BOOLEAN BvsrdAsFilePath;
  EFI_HANDLE bootvolh;  // NULL: no BVSRD is built
  EFI_DEVICE_PATH_PROTOCOL *bootvoldp;
  UINT16 FsTypeCode;

  CHAR16 Description[DESCRIPTION_CAPACITY];
  UINTN DescriptionSize;

  LoaderPathNode LoaderNode;
  RootPathNode RootNode;
  // Located once for the loader's path and serves the system root's too.
  EFI_DEVICE_PATH_UTILITIES_PROTOCOL *DevicePathUtilities;

  FileDevicePath HomePath;  // homevoldpfull and homevoldpshort of the messages
  FileDevicePath BootPath;  // bootvoldpfull and bootvoldpshort

  UINT8 *LoadOption;  // pool
  UINTN LoadOptionSize;

  UINT16 *BootOrder;  // pool
  UINTN BootOrderSize;
  UINT32 BootOrderAttributes;

  UINT16 OptionNumber;
  CHAR16 VariableName[OPTION_NAME_LENGTH];

  // How an unattended run ended: a RunResult once it has done all it was
  // asked (0 until then: a failure), and whether BootNext names the entry.
  // In an unchanged run LoadOption holds the entry found, OptionNumber its
  // number, and Description still the label asked for.
  UINT8 Result;
  BOOLEAN BootNextSet;
  VOID *OptionWords;  // pool: where the option words lie, when the caller handed that over
};

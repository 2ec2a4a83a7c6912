// SPDX-License-Identifier: BSD-2-Clause-Patent
// EFI_SYSTEM_TABLE with the boot and runtime services tables. Services that
// nothing here calls are kept as untyped slots so that every offset matches.
#pragma once
#include "efi_console.h"
#include "efi_types.h"

enum EFI_MEMORY_TYPE : UINT32 { EfiLoaderData = 2 };
enum EFI_LOCATE_SEARCH_TYPE : UINT32 { ByProtocol = 2 };
enum EFI_RESET_TYPE : UINT32 {
  EfiResetCold = 0,
  EfiResetShutdown = 2,
};

#define EFI_OPEN_PROTOCOL_GET_PROTOCOL 0x00000002U

#define EFI_VARIABLE_NON_VOLATILE 0x00000001U
#define EFI_VARIABLE_BOOTSERVICE_ACCESS 0x00000002U
#define EFI_VARIABLE_RUNTIME_ACCESS 0x00000004U
#define EFI_VARIABLE_APPEND_WRITE 0x00000040U

typedef EFI_STATUS(EFIAPI *EFI_ALLOCATE_POOL)(EFI_MEMORY_TYPE PoolType, UINTN Size, VOID **Buffer);
typedef EFI_STATUS(EFIAPI *EFI_FREE_POOL)(VOID *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_WAIT_FOR_EVENT)(UINTN NumberOfEvents, EFI_EVENT *Event,
                                               UINTN *Index);
typedef EFI_STATUS(EFIAPI *EFI_HANDLE_PROTOCOL)(EFI_HANDLE Handle, const EFI_GUID *Protocol,
                                                VOID **Interface);
typedef EFI_STATUS(EFIAPI *EFI_EXIT)(EFI_HANDLE ImageHandle, EFI_STATUS ExitStatus,
                                     UINTN ExitDataSize, CHAR16 *ExitData);
typedef EFI_STATUS(EFIAPI *EFI_OPEN_PROTOCOL)(EFI_HANDLE Handle, const EFI_GUID *Protocol,
                                              VOID **Interface, EFI_HANDLE AgentHandle,
                                              EFI_HANDLE ControllerHandle, UINT32 Attributes);
typedef EFI_STATUS(EFIAPI *EFI_LOCATE_HANDLE_BUFFER)(EFI_LOCATE_SEARCH_TYPE SearchType,
                                                     const EFI_GUID *Protocol, VOID *SearchKey,
                                                     UINTN *NoHandles, EFI_HANDLE **Buffer);
typedef EFI_STATUS(EFIAPI *EFI_LOCATE_PROTOCOL)(const EFI_GUID *Protocol, VOID *Registration,
                                                VOID **Interface);
typedef VOID(EFIAPI *EFI_COPY_MEM)(VOID *Destination, const VOID *Source, UINTN Length);

struct EFI_BOOT_SERVICES {
  EFI_TABLE_HEADER Hdr;
  VOID *RaiseTPL;
  VOID *RestoreTPL;
  VOID *AllocatePages;
  VOID *FreePages;
  VOID *GetMemoryMap;
  EFI_ALLOCATE_POOL AllocatePool;
  EFI_FREE_POOL FreePool;
  VOID *CreateEvent;
  VOID *SetTimer;
  EFI_WAIT_FOR_EVENT WaitForEvent;
  VOID *SignalEvent;
  VOID *CloseEvent;
  VOID *CheckEvent;
  VOID *InstallProtocolInterface;
  VOID *ReinstallProtocolInterface;
  VOID *UninstallProtocolInterface;
  EFI_HANDLE_PROTOCOL HandleProtocol;
  VOID *Reserved;
  VOID *RegisterProtocolNotify;
  VOID *LocateHandle;
  VOID *LocateDevicePath;
  VOID *InstallConfigurationTable;
  VOID *LoadImage;
  VOID *StartImage;
  EFI_EXIT Exit;
  VOID *UnloadImage;
  VOID *ExitBootServices;
  VOID *GetNextMonotonicCount;
  VOID *Stall;
  VOID *SetWatchdogTimer;
  VOID *ConnectController;
  VOID *DisconnectController;
  EFI_OPEN_PROTOCOL OpenProtocol;
  VOID *CloseProtocol;
  VOID *OpenProtocolInformation;
  VOID *ProtocolsPerHandle;
  EFI_LOCATE_HANDLE_BUFFER LocateHandleBuffer;
  EFI_LOCATE_PROTOCOL LocateProtocol;
  VOID *InstallMultipleProtocolInterfaces;
  VOID *UninstallMultipleProtocolInterfaces;
  VOID *CalculateCrc32;
  EFI_COPY_MEM CopyMem;
  VOID *SetMem;
  VOID *CreateEventEx;
};
static_assert(__builtin_offsetof(EFI_BOOT_SERVICES, AllocatePool) == 24 + EFI_SLOTS(5),
              "BootServices");
static_assert(__builtin_offsetof(EFI_BOOT_SERVICES, FreePool) == 24 + EFI_SLOTS(6), "BootServices");
static_assert(__builtin_offsetof(EFI_BOOT_SERVICES, WaitForEvent) == 24 + EFI_SLOTS(9),
              "BootServices");
static_assert(__builtin_offsetof(EFI_BOOT_SERVICES, HandleProtocol) == 24 + EFI_SLOTS(16),
              "BootServices");
static_assert(__builtin_offsetof(EFI_BOOT_SERVICES, Exit) == 24 + EFI_SLOTS(24), "BootServices");
static_assert(__builtin_offsetof(EFI_BOOT_SERVICES, OpenProtocol) == 24 + EFI_SLOTS(32),
              "BootServices");
static_assert(__builtin_offsetof(EFI_BOOT_SERVICES, LocateHandleBuffer) == 24 + EFI_SLOTS(36),
              "BootServices");
static_assert(__builtin_offsetof(EFI_BOOT_SERVICES, LocateProtocol) == 24 + EFI_SLOTS(37),
              "BootServices");
static_assert(__builtin_offsetof(EFI_BOOT_SERVICES, CopyMem) == 24 + EFI_SLOTS(41), "BootServices");
static_assert(sizeof(EFI_BOOT_SERVICES) == 24 + EFI_SLOTS(44), "BootServices");

typedef EFI_STATUS(EFIAPI *EFI_GET_VARIABLE)(const CHAR16 *VariableName, const EFI_GUID *VendorGuid,
                                             UINT32 *Attributes, UINTN *DataSize, VOID *Data);
typedef EFI_STATUS(EFIAPI *EFI_SET_VARIABLE)(const CHAR16 *VariableName, const EFI_GUID *VendorGuid,
                                             UINT32 Attributes, UINTN DataSize, const VOID *Data);
typedef VOID(EFIAPI *EFI_RESET_SYSTEM)(EFI_RESET_TYPE ResetType, EFI_STATUS ResetStatus,
                                       UINTN DataSize, VOID *ResetData);

struct EFI_RUNTIME_SERVICES {
  EFI_TABLE_HEADER Hdr;
  VOID *GetTime;
  VOID *SetTime;
  VOID *GetWakeupTime;
  VOID *SetWakeupTime;
  VOID *SetVirtualAddressMap;
  VOID *ConvertPointer;
  EFI_GET_VARIABLE GetVariable;
  VOID *GetNextVariableName;
  EFI_SET_VARIABLE SetVariable;
  VOID *GetNextHighMonotonicCount;
  EFI_RESET_SYSTEM ResetSystem;
  VOID *UpdateCapsule;
  VOID *QueryCapsuleCapabilities;
  VOID *QueryVariableInfo;
};
static_assert(__builtin_offsetof(EFI_RUNTIME_SERVICES, GetVariable) == 24 + EFI_SLOTS(6),
              "RuntimeServices");
static_assert(__builtin_offsetof(EFI_RUNTIME_SERVICES, SetVariable) == 24 + EFI_SLOTS(8),
              "RuntimeServices");
static_assert(__builtin_offsetof(EFI_RUNTIME_SERVICES, ResetSystem) == 24 + EFI_SLOTS(10),
              "RuntimeServices");
static_assert(sizeof(EFI_RUNTIME_SERVICES) == 24 + EFI_SLOTS(14), "RuntimeServices");

struct EFI_SYSTEM_TABLE {
  EFI_TABLE_HEADER Hdr;
  CHAR16 *FirmwareVendor;
  UINT32 FirmwareRevision;
  EFI_HANDLE ConsoleInHandle;
  EFI_SIMPLE_TEXT_INPUT_PROTOCOL *ConIn;
  EFI_HANDLE ConsoleOutHandle;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut;
  EFI_HANDLE StandardErrorHandle;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *StdErr;
  EFI_RUNTIME_SERVICES *RuntimeServices;
  EFI_BOOT_SERVICES *BootServices;
  UINTN NumberOfTableEntries;
  VOID *ConfigurationTable;
};
static_assert(__builtin_offsetof(EFI_SYSTEM_TABLE, ConIn) == 24 + EFI_SLOTS(3), "SystemTable");
static_assert(__builtin_offsetof(EFI_SYSTEM_TABLE, ConOut) == 24 + EFI_SLOTS(5), "SystemTable");
static_assert(__builtin_offsetof(EFI_SYSTEM_TABLE, RuntimeServices) == 24 + EFI_SLOTS(8),
              "SystemTable");
static_assert(__builtin_offsetof(EFI_SYSTEM_TABLE, BootServices) == 24 + EFI_SLOTS(9),
              "SystemTable");

// Entry point of every image we build.
extern "C" EFI_STATUS EFIAPI EfiMain(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

// SPDX-License-Identifier: BSD-2-Clause-Patent
// Base types of the UEFI calling surface, for the images of every
// architecture and for the host build. Widths come from the compiler's own
// macros because the images are compiled for LLP64 or ILP32 targets (long is
// 32 bits) and the host is LP64. UINTN and pointers are 64 bits on AArch64,
// x86-64 and RISC-V 64, 32 bits on IA32 and 32-bit Arm.
#pragma once

typedef __UINT8_TYPE__ UINT8;
typedef __UINT16_TYPE__ UINT16;
typedef __UINT32_TYPE__ UINT32;
typedef __UINT64_TYPE__ UINT64;
typedef __INT32_TYPE__ INT32;
typedef __UINTPTR_TYPE__ UINTN;
typedef UINT8 BOOLEAN;
typedef char16_t CHAR16;
typedef void VOID;

typedef UINTN EFI_STATUS;
typedef VOID *EFI_HANDLE;
typedef VOID *EFI_EVENT;

#define TRUE ((BOOLEAN)1)
#define FALSE ((BOOLEAN)0)

// The firmware's calling convention. x86-64 firmware calls by the Microsoft
// ABI: the Windows target the image is compiled for has it anyway, but the
// host build (System V) must say so, so that the application and the simulated
// firmware of the host tests call each other as the image and real firmware
// do. IA32 firmware uses cdecl, its compilers' default; Arm, AArch64 and
// RISC-V firmware use the platform's one procedure call standard.
#if defined(__x86_64__)
#define EFIAPI __attribute__((ms_abi))
#else
#define EFIAPI
#endif

struct EFI_GUID {
  UINT32 Data1;
  UINT16 Data2;
  UINT16 Data3;
  UINT8 Data4[8];
};

struct EFI_TABLE_HEADER {
  UINT64 Signature;
  UINT32 Revision;
  UINT32 HeaderSize;
  UINT32 CRC32;
  UINT32 Reserved;
};

static_assert(sizeof(UINTN) == sizeof(VOID *), "UINTN is as wide as a pointer");
static_assert(sizeof(CHAR16) == 2, "UEFI strings are UCS-2");
static_assert(sizeof(EFI_GUID) == 16, "EFI_GUID layout");
static_assert(sizeof(EFI_TABLE_HEADER) == 24, "EFI_TABLE_HEADER layout");

// Offset of the Count-th natural-width field (a pointer or UINTN) in a table
// of them: firmware tables and protocols lay out in these slots, 8 bytes wide
// on 64-bit firmware and 4 on 32-bit.
#define EFI_SLOTS(Count) ((Count) * sizeof(VOID *))

// The top bit of UINTN: bit 63 on 64-bit firmware, bit 31 on 32-bit.
#define EFI_ERROR_BIT ((EFI_STATUS)1 << (8 * sizeof(EFI_STATUS) - 1))
// An error, as opposed to success or a warning: after a warning the call's
// results are what the firmware handed out, after an error they are undefined.
#define EFI_ERROR(Status) ((((EFI_STATUS)(Status)) & EFI_ERROR_BIT) != 0)

#define EFI_SUCCESS ((EFI_STATUS)0)
#define EFI_INVALID_PARAMETER (EFI_ERROR_BIT | 2)
#define EFI_UNSUPPORTED (EFI_ERROR_BIT | 3)
#define EFI_BUFFER_TOO_SMALL (EFI_ERROR_BIT | 5)
#define EFI_NOT_READY (EFI_ERROR_BIT | 6)
#define EFI_DEVICE_ERROR (EFI_ERROR_BIT | 7)
#define EFI_WRITE_PROTECTED (EFI_ERROR_BIT | 8)
#define EFI_OUT_OF_RESOURCES (EFI_ERROR_BIT | 9)
#define EFI_VOLUME_CORRUPTED (EFI_ERROR_BIT | 10)
#define EFI_NO_MEDIA (EFI_ERROR_BIT | 12)
#define EFI_NOT_FOUND (EFI_ERROR_BIT | 14)
#define EFI_ACCESS_DENIED (EFI_ERROR_BIT | 15)
#define EFI_ABORTED (EFI_ERROR_BIT | 21)
#define EFI_WARN_UNKNOWN_GLYPH ((EFI_STATUS)1)

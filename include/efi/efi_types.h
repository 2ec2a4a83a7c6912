// Base types of the UEFI calling surface, for both the AArch64 image and the
// host build. Widths come from the compiler's own macros because the image is
// compiled for an LLP64 target (long is 32 bits) and the host is LP64.
#pragma once

typedef __UINT8_TYPE__ UINT8;
typedef __UINT16_TYPE__ UINT16;
typedef __UINT32_TYPE__ UINT32;
typedef __UINT64_TYPE__ UINT64;
typedef __INT32_TYPE__ INT32;
typedef __INT64_TYPE__ INT64;
typedef __UINTPTR_TYPE__ UINTN;
typedef __INTPTR_TYPE__ INTN;
typedef UINT8 BOOLEAN;
typedef char16_t CHAR16;
typedef void VOID;

typedef UINTN EFI_STATUS;
typedef VOID *EFI_HANDLE;
typedef VOID *EFI_EVENT;

#define TRUE ((BOOLEAN)1)
#define FALSE ((BOOLEAN)0)

// AArch64 UEFI uses the standard procedure call standard, and the host build
// talks only to our own simulated firmware, so no calling convention marker.
#define EFIAPI

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

static_assert(sizeof(UINTN) == 8, "64-bit firmware only");
static_assert(sizeof(CHAR16) == 2, "UEFI strings are UCS-2");
static_assert(sizeof(EFI_GUID) == 16, "EFI_GUID layout");
static_assert(sizeof(EFI_TABLE_HEADER) == 24, "EFI_TABLE_HEADER layout");

#define EFI_ERROR_BIT 0x8000000000000000ULL
// An error, as opposed to success or a warning: after a warning the call's
// results are what the firmware handed out, after an error they are undefined.
#define EFI_ERROR(Status) (((EFI_STATUS)(Status) & EFI_ERROR_BIT) != 0)

#define EFI_SUCCESS ((EFI_STATUS)0)
#define EFI_LOAD_ERROR (EFI_ERROR_BIT | 1)
#define EFI_INVALID_PARAMETER (EFI_ERROR_BIT | 2)
#define EFI_UNSUPPORTED (EFI_ERROR_BIT | 3)
#define EFI_BAD_BUFFER_SIZE (EFI_ERROR_BIT | 4)
#define EFI_BUFFER_TOO_SMALL (EFI_ERROR_BIT | 5)
#define EFI_NOT_READY (EFI_ERROR_BIT | 6)
#define EFI_DEVICE_ERROR (EFI_ERROR_BIT | 7)
#define EFI_WRITE_PROTECTED (EFI_ERROR_BIT | 8)
#define EFI_OUT_OF_RESOURCES (EFI_ERROR_BIT | 9)
#define EFI_VOLUME_CORRUPTED (EFI_ERROR_BIT | 10)
#define EFI_NO_MEDIA (EFI_ERROR_BIT | 12)
#define EFI_NOT_FOUND (EFI_ERROR_BIT | 14)
#define EFI_ACCESS_DENIED (EFI_ERROR_BIT | 15)
#define EFI_SECURITY_VIOLATION (EFI_ERROR_BIT | 26)
#define EFI_WARN_UNKNOWN_GLYPH ((EFI_STATUS)1)

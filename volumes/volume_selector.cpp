// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "volumes/volume_selector.h"

#include "loadoption/device_path_walk.h"

#define HARD_DRIVE_NODE_LENGTH 42
#define HD_PARTITION_NUMBER_AT 4
#define HD_SIGNATURE_AT 24
#define HD_SIGNATURE_TYPE_AT 41
#define SIGNATURE_TYPE_MBR 1
#define SIGNATURE_TYPE_GUID 2

static const CHAR16 Prefix[] = u"PARTUUID=";

static INT32 HexValue(CHAR16 C) {
  if (C >= u'0' && C <= u'9') {
    return C - u'0';
  }
  if (C >= u'A' && C <= u'F') {
    return C - u'A' + 10;
  }
  if (C >= u'a' && C <= u'f') {
    return C - u'a' + 10;
  }
  return -1;
}

// Digits hexadecimal digits from Text into *Value; FALSE at any other character
// (the NUL included, so a short text stops here).
static BOOLEAN ReadHex(const CHAR16 *Text, UINTN Digits, UINT32 *Value) {
  *Value = 0;
  for (UINTN I = 0; I < Digits; I++) {
    INT32 Digit = HexValue(Text[I]);
    if (Digit < 0) {
      return FALSE;
    }
    *Value = (*Value << 4) | (UINT32)Digit;
  }
  return TRUE;
}

static void StoreLittleEndian(UINT8 *To, UINT32 Value, UINTN Bytes) {
  for (UINTN I = 0; I < Bytes; I++) {
    To[I] = (UINT8)(Value >> (8 * I));
  }
}

// 8-4-4-4-12: the first three groups are stored little-endian, the last two
// byte by byte, as a GUID lies in the hard-drive node.
static BOOLEAN ParseGuid(const CHAR16 *Text, UINT8 *Signature) {
  static const UINT8 GroupDigits[] = {8, 4, 4, 4, 12};
  UINTN Byte = 0;
  for (UINTN Group = 0; Group < 5; Group++) {
    if (Group > 0 && *Text++ != u'-') {
      return FALSE;
    }
    UINTN Digits = GroupDigits[Group];
    if (Group < 3) {
      UINT32 Value;
      if (!ReadHex(Text, Digits, &Value)) {
        return FALSE;
      }
      StoreLittleEndian(Signature + Byte, Value, Digits / 2);
      Byte += Digits / 2;
    } else {
      for (UINTN I = 0; I < Digits; I += 2) {
        UINT32 Value;
        if (!ReadHex(Text + I, 2, &Value)) {
          return FALSE;
        }
        Signature[Byte++] = (UINT8)Value;
      }
    }
    Text += Digits;
  }
  return *Text == 0;
}

static BOOLEAN ParseMbr(const CHAR16 *Text, VolumeSelector *Selector) {
  UINT32 Signature;
  if (!ReadHex(Text, 8, &Signature) || Text[8] != u'-' ||
      !ReadHex(Text + 9, 2, &Selector->Partition) || Text[11] != 0) {
    return FALSE;
  }
  StoreLittleEndian(Selector->Signature, Signature, 4);
  return TRUE;
}

BOOLEAN ParseVolumeSelector(const CHAR16 *Text, VolumeSelector *Selector) {
  *Selector = {};
  for (UINTN I = 0; Prefix[I] != 0; I++) {
    if (*Text != Prefix[I]) {
      return FALSE;
    }
    Text++;
  }
  if (ParseMbr(Text, Selector)) {
    Selector->Kind = SELECTOR_MBR;
    return TRUE;
  }
  Selector->Partition = 0;
  if (ParseGuid(Text, Selector->Signature)) {
    Selector->Kind = SELECTOR_GPT;
    return TRUE;
  }
  return FALSE;
}

BOOLEAN SelectorMatchesPath(const VolumeSelector *Selector, const EFI_DEVICE_PATH_PROTOCOL *Path) {
  UINTN Skipped;
  const EFI_DEVICE_PATH_PROTOCOL *Node =
      FindHardDriveNode(Path, FIRMWARE_DEVICE_PATH_MAX_BYTES, &Skipped);
  if (Node == nullptr ||
      (UINTN)(Node->Length[0] | (Node->Length[1] << 8)) < HARD_DRIVE_NODE_LENGTH) {
    return FALSE;
  }
  const UINT8 *Bytes = (const UINT8 *)Node;
  UINT8 Type = Bytes[HD_SIGNATURE_TYPE_AT];
  if (Selector->Kind == SELECTOR_MBR) {
    UINT32 Partition = 0;
    for (UINTN I = 0; I < 4; I++) {
      Partition |= (UINT32)Bytes[HD_PARTITION_NUMBER_AT + I] << (8 * I);
    }
    if (Type != SIGNATURE_TYPE_MBR || Partition != Selector->Partition) {
      return FALSE;
    }
    for (UINTN I = 0; I < 4; I++) {
      if (Bytes[HD_SIGNATURE_AT + I] != Selector->Signature[I]) {
        return FALSE;
      }
    }
    return TRUE;
  }
  if (Type != SIGNATURE_TYPE_GUID) {
    return FALSE;
  }
  for (UINTN I = 0; I < 16; I++) {
    if (Bytes[HD_SIGNATURE_AT + I] != Selector->Signature[I]) {
      return FALSE;
    }
  }
  return TRUE;
}

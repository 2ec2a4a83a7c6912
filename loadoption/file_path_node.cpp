// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "loadoption/file_path_node.h"

void FillFilePathHeader(EFI_DEVICE_PATH_PROTOCOL *Header, UINTN PathBytes) {
  UINTN Length = sizeof(EFI_DEVICE_PATH_PROTOCOL) + PathBytes;
  Header->Type = MEDIA_DEVICE_PATH;
  Header->SubType = MEDIA_FILEPATH_DP;
  Header->Length[0] = (UINT8)(Length & 0xFF);
  Header->Length[1] = (UINT8)((Length >> 8) & 0xFF);
}

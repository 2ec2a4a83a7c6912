// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "console/colours.h"

#include "common/firmware_context.h"

static UINT32 RoleAttribute(UINT32 Role) { return (gFirmware.SavedAttribute & 0xFFFFFF80U) | Role; }

void SetRole(UINT32 Role) { gFirmware.ConOut->SetAttribute(gFirmware.ConOut, RoleAttribute(Role)); }

void RestoreSavedAttribute() {
  gFirmware.ConOut->SetAttribute(gFirmware.ConOut, gFirmware.SavedAttribute);
}

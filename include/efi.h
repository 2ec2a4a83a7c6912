// SPDX-License-Identifier: BSD-2-Clause-Patent
// Everything the application declares of the firmware.
#pragma once
#include "efi/efi_console.h"
#include "efi/efi_device_path.h"
#include "efi/efi_file.h"
#include "efi/efi_guids.h"
#include "efi/efi_loaded_image.h"
#include "efi/efi_system_table.h"
#include "efi/efi_types.h"

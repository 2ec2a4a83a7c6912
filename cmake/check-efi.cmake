# SPDX-License-Identifier: BSD-2-Clause-Patent
# Post-build check of an EFI image for its architecture EFI_ARCH (UEFI suffix):
# the machine type the firmware of that architecture loads, PE32 or PE32+, the
# EFI application subsystem (10), relocatable (DYNAMIC_BASE, relocations not
# stripped), since the firmware loads it wherever it finds room, and fit for
# firmware that maps images strictly: NX_COMPAT set and no section both
# writable and executable. Such firmware refuses the image otherwise, signed
# or not. Code that addresses everything PC-relative needs no fixups, and the
# linker then leaves out the empty .reloc section; where the code holds
# absolute addresses (IA32, and 32-bit Arm's literal pools) the image must
# carry its base relocations. The facts per architecture: architectures.json.
#   cmake -DEFI_FILE=<image> -DEFI_ARCH=<suffix> -P check-efi.cmake
include(${CMAKE_CURRENT_LIST_DIR}/architectures.cmake)
efi_architecture(machine "${EFI_ARCH}" pe machine)
if(NOT machine)
  message(FATAL_ERROR "EFI_ARCH='${EFI_ARCH}': not an architecture this check knows")
endif()
efi_architecture(format ${EFI_ARCH} pe format)
efi_architecture(absolute_addresses ${EFI_ARCH} pe base_relocations)
set(magic_PE32 0x10B)
set(magic_PE32+ 0x20B)

execute_process(COMMAND llvm-readobj --file-headers ${EFI_FILE}
                OUTPUT_VARIABLE headers RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "llvm-readobj failed on ${EFI_FILE}")
endif()
function(require pattern what)
  if(NOT headers MATCHES "${pattern}")
    message(FATAL_ERROR "${EFI_FILE}: expected ${what}")
  endif()
endfunction()
# llvm-readobj 14 names no RISC-V machine: "Machine: 0x5064".
require("Machine: ([A-Z0-9_]+ \\()?${machine}\\)?\n" "machine type ${machine} (${EFI_ARCH})")
require("Magic: ${magic_${format}}\n" "a ${format} image")
require("IMAGE_SUBSYSTEM_EFI_APPLICATION \\(0xA\\)" "subsystem 10, EFI application")
require("IMAGE_DLL_CHARACTERISTICS_DYNAMIC_BASE" "DYNAMIC_BASE")
require("IMAGE_DLL_CHARACTERISTICS_NX_COMPAT" "NX_COMPAT")
if(headers MATCHES "IMAGE_FILE_RELOCS_STRIPPED")
  message(FATAL_ERROR "${EFI_FILE}: its relocations are stripped, it cannot be loaded elsewhere")
endif()
if(absolute_addresses AND headers MATCHES "BaseRelocationTableSize: 0x0\n")
  message(FATAL_ERROR
          "${EFI_FILE}: its code holds absolute addresses but it has no base relocations")
endif()

execute_process(COMMAND llvm-readobj --sections ${EFI_FILE}
                OUTPUT_VARIABLE sections RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "llvm-readobj failed on ${EFI_FILE}")
endif()
string(REGEX MATCHALL "Name: [^ ]+|Characteristics \\[ \\(0x[0-9A-F]+\\)" fields "${sections}")
foreach(field IN LISTS fields)
  if(field MATCHES "^Name: (.+)")
    set(section ${CMAKE_MATCH_1})
  elseif(field MATCHES "0x([0-9A-F]+)")
    # IMAGE_SCN_MEM_WRITE 0x80000000, IMAGE_SCN_MEM_EXECUTE 0x20000000
    math(EXPR write_execute "0x${CMAKE_MATCH_1} & 0xA0000000" OUTPUT_FORMAT HEXADECIMAL)
    if(write_execute STREQUAL "0xa0000000")
      message(FATAL_ERROR "${EFI_FILE}: section ${section} is both writable and executable")
    endif()
  endif()
endforeach()

# The image is reproducible (lld-link /Brepro): the same sources give these bytes.
file(SHA256 ${EFI_FILE} image_sha256)
get_filename_component(image_name ${EFI_FILE} NAME)
message(STATUS "${image_name} SHA-256 ${image_sha256}")

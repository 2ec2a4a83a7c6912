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
require_efi_architecture("${EFI_ARCH}" "this check")
efi_architecture(machine ${EFI_ARCH} pe machine)
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
# Shim's loader, stricter than the firmware's, refuses an image unless every
# section lies after the headers, in address order and on its alignment, and
# the file bytes of every section but zeroed data (whose bytes it clears, not
# copies) lie after the headers and inside the file. It refuses one without
# .sbat like one signed with an unknown key, even once that key is enrolled.
foreach(field SizeOfHeaders SectionAlignment FileAlignment)
  string(REGEX MATCH "${field}: ([0-9]+)" found "${headers}")
  set(${field} ${CMAKE_MATCH_1})
endforeach()
file(SIZE ${EFI_FILE} file_size)
set(section_end 0)
set(sbat_at "")
# A "[" in a list element would join all the elements after it into one.
string(REPLACE "[" "" sections "${sections}")
string(REGEX MATCHALL "(Name|VirtualSize|VirtualAddress|RawDataSize|PointerToRawData): [^ \n]+|Characteristics +\\(0x[0-9A-F]+\\)"
       fields "${sections}")
foreach(field IN LISTS fields)
  if(field MATCHES "^Name: (.+)")
    set(Name ${CMAKE_MATCH_1})
    continue()
  elseif(field MATCHES "^([A-Za-z]+): (.+)")
    math(EXPR ${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")  # hexadecimal to a number IF can compare
    continue()
  endif()
  string(REGEX MATCH "0x[0-9A-F]+" flags "${field}")
  # IMAGE_SCN_MEM_WRITE 0x80000000, IMAGE_SCN_MEM_EXECUTE 0x20000000
  math(EXPR write_execute "${flags} & 0xA0000000" OUTPUT_FORMAT HEXADECIMAL)
  if(write_execute STREQUAL "0xa0000000")
    message(FATAL_ERROR "${EFI_FILE}: section ${Name} is both writable and executable")
  endif()
  math(EXPR misaligned "${VirtualAddress} % ${SectionAlignment}")
  if(VirtualAddress LESS SizeOfHeaders OR misaligned OR VirtualAddress LESS section_end)
    message(FATAL_ERROR "${EFI_FILE}: section ${Name} at ${VirtualAddress} is inside the headers, "
                        "misaligned or out of order")
  endif()
  math(EXPR section_end "${VirtualAddress} + ${VirtualSize}")
  # IMAGE_SCN_CNT_UNINITIALIZED_DATA 0x80
  math(EXPR zeroed "${flags} & 0x80")
  math(EXPR misaligned "${PointerToRawData} % ${FileAlignment}")
  math(EXPR raw_end "${PointerToRawData} + ${RawDataSize}")
  if(NOT zeroed AND (PointerToRawData LESS SizeOfHeaders OR misaligned OR raw_end GREATER file_size))
    message(FATAL_ERROR "${EFI_FILE}: the file bytes of section ${Name} (${RawDataSize} at "
                        "${PointerToRawData}) are inside the headers, misaligned or past the end")
  endif()
  if(Name STREQUAL ".sbat")
    set(sbat_at ${PointerToRawData})
  endif()
endforeach()
set(sbat_header "sbat,1,SBAT Version,sbat,1,")
string(LENGTH "${sbat_header}" sbat_header_length)
string(HEX "${sbat_header}" sbat_header_hex)
set(sbat_hex "")
if(NOT sbat_at STREQUAL "")
  # In HEX: as text, file(READ) gives one character more than LIMIT.
  file(READ ${EFI_FILE} sbat_hex OFFSET ${sbat_at} LIMIT ${sbat_header_length} HEX)
endif()
if(NOT sbat_hex STREQUAL sbat_header_hex)
  message(FATAL_ERROR "${EFI_FILE}: no .sbat section starting with ${sbat_header}")
endif()

# The image is reproducible (lld-link /Brepro): the same sources give these bytes.
file(SHA256 ${EFI_FILE} image_sha256)
get_filename_component(image_name ${EFI_FILE} NAME)
message(STATUS "${image_name} SHA-256 ${image_sha256}")

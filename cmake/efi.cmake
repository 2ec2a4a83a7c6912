# SPDX-License-Identifier: BSD-2-Clause-Patent
# add_efi_application(<name> <sources...>)
# Builds <name><suffix>.efi for the architecture EFI_ARCH and refuses it unless
# it passes the image check for that architecture.

# SBAT, the generation record that shim reads before it starts an image and
# without which it refuses one: the standard first line and ours (component,
# generation, vendor, package, version, address; no address exists, so the
# README's title). A C array sized to the text leaves out the closing NUL.
set(EFI_SBAT "sbat,1,SBAT Version,sbat,1,https://github.com/rhboot/shim/blob/main/SBAT.md
addbootentry,1,addbootentry,addbootentry,${PROJECT_VERSION},addbootentry: create a UEFI boot entry from the console
")
string(LENGTH "${EFI_SBAT}" sbat_length)
string(REPLACE "\n" "\\n" sbat_literal "${EFI_SBAT}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/sbat.c @ONLY CONTENT
     "__attribute__((used, section(\".sbat\"))) const char sbat[@sbat_length@] = \"@sbat_literal@\";\n")

function(add_efi_application name)
  add_executable(${name} ${ARGN} ${PROJECT_BINARY_DIR}/sbat.c)
  set_target_properties(${name} PROPERTIES SUFFIX .efi)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -Wall -Wextra -Werror -Os)
  if(EFI_SET_MACHINE)
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/build/set_pe_machine.py
              $<TARGET_FILE:${name}> ${EFI_SET_MACHINE}
      VERBATIM)
  endif()
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DEFI_FILE=$<TARGET_FILE:${name}> -DEFI_ARCH=${EFI_ARCH}
            -P ${PROJECT_SOURCE_DIR}/cmake/check-efi.cmake
    VERBATIM)
endfunction()

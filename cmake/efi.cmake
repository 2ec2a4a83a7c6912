# SPDX-License-Identifier: BSD-2-Clause-Patent
# add_efi_application(<name> <sources...>)
# Builds <name><suffix>.efi for the architecture EFI_ARCH and refuses it unless
# it passes the image check for that architecture.
function(add_efi_application name)
  add_executable(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES SUFFIX .efi)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -Wall -Wextra -Werror -Os)
  if(EFI_SET_MACHINE)
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/build/set-pe-machine.py
              $<TARGET_FILE:${name}> ${EFI_SET_MACHINE}
      VERBATIM)
  endif()
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DEFI_FILE=$<TARGET_FILE:${name}> -DEFI_ARCH=${EFI_ARCH}
            -P ${PROJECT_SOURCE_DIR}/cmake/check-efi.cmake
    VERBATIM)
endfunction()

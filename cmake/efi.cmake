# add_efi_application(<name> <sources...>)
# Builds <name>.efi and refuses it unless it is a PE32+ AArch64 EFI application.
function(add_efi_application name)
  add_executable(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES SUFFIX .efi)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -Wall -Wextra -Werror -Os)
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DEFI_FILE=$<TARGET_FILE:${name}>
            -P ${PROJECT_SOURCE_DIR}/cmake/check-efi.cmake
    VERBATIM)
endfunction()

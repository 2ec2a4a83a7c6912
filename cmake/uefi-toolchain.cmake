# SPDX-License-Identifier: BSD-2-Clause-Patent
# Cross settings for one EFI image build. EFI_ARCH is the architecture's
# suffix in UEFI's removable-media file names (BOOT<SUFFIX>.EFI); its facts
# come from the table of architectures (architectures.json).
# clang 14 cannot emit PE objects for a "-uefi" triple, so we compile for the
# Windows COFF target of the same processor, whose calling convention is the
# firmware's (Microsoft x64 on x86-64, cdecl on IA32), and link with lld-link
# as an EFI application.
set(EFI_ARCH "" CACHE STRING "UEFI architecture suffix of this image build")
# The compiler checks run in try_compile projects of their own; they need it too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES EFI_ARCH Python3_EXECUTABLE)

include(${CMAKE_CURRENT_LIST_DIR}/architectures.cmake)
require_efi_architecture("${EFI_ARCH}" "this build")
efi_architecture(EFI_CLANG_TARGET ${EFI_ARCH} compiler target)
efi_architecture(EFI_ARCH_FLAGS ${EFI_ARCH} compiler flags)
efi_architecture(EFI_LINKER ${EFI_ARCH} linker kind)
efi_architecture(EFI_LINKER_MACHINE ${EFI_ARCH} linker machine)

set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR ${EFI_ARCH})
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_LINKER lld-link)

# -fno-zero-initialized-in-bss: zeroed globals are written out in .data. When
# all of .data is zeroes, lld-link gives it no file bytes and a file position
# of 0 while still calling it initialised data, and shim's loader refuses such
# a section as lying inside the headers.
string(JOIN " " EFI_COMPILE_FLAGS --target=${EFI_CLANG_TARGET} ${EFI_ARCH_FLAGS}
     -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector -fshort-wchar
     -mno-stack-arg-probe -fno-builtin-memcpy -fno-builtin-memset -fno-zero-initialized-in-bss)
set(CMAKE_C_FLAGS_INIT "${EFI_COMPILE_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${EFI_COMPILE_FLAGS}")

if(EFI_LINKER STREQUAL "lld-link")
  # /Brepro: the PE TimeDateStamp becomes a hash of the image instead of the
  # link time, so that two builds of the same sources give the same bytes.
  string(JOIN " " CMAKE_CXX_LINK_EXECUTABLE <CMAKE_LINKER> /nologo /subsystem:efi_application
       /entry:EfiMain /nodefaultlib /machine:${EFI_LINKER_MACHINE} /dynamicbase /Brepro
       <OBJECTS> /out:<TARGET> <LINK_LIBRARIES>)
elseif(EFI_LINKER STREQUAL "elf")
  # A position-independent ELF whose segments are the image's sections, then
  # the PE32+ image made from it (time stamp 0: the same bytes every build).
  # The host build hands its Python down; a build of its own finds it the same way.
  if(NOT Python3_EXECUTABLE)
    include(${CMAKE_CURRENT_LIST_DIR}/python.cmake)
  endif()
  string(JOIN " " link ld.lld -pie --no-dynamic-linker -Bsymbolic -z norelro --build-id=none
       -T ${CMAKE_CURRENT_LIST_DIR}/${EFI_ARCH}-efi.lds -e EfiMain
       <OBJECTS> -o <TARGET_BASE>.elf <LINK_LIBRARIES>)
  string(JOIN " " convert ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/../tools/build/elf_to_pe.py
       <TARGET_BASE>.elf <TARGET>)
  set(CMAKE_CXX_LINK_EXECUTABLE "${link}" "${convert}")
else()
  message(FATAL_ERROR "${EFI_ARCH}: no linker kind '${EFI_LINKER}' (lld-link or elf)")
endif()
set(CMAKE_C_LINK_EXECUTABLE "${CMAKE_CXX_LINK_EXECUTABLE}")

# lld-link writes a machine type that this firmware does not load: the
# build changes it after linking (tools/build/set_pe_machine.py).
efi_architecture(EFI_WRITTEN_MACHINE ${EFI_ARCH} linker writes_machine)
if(EFI_WRITTEN_MACHINE)
  efi_architecture(EFI_PE_MACHINE ${EFI_ARCH} pe machine)
  set(EFI_SET_MACHINE ${EFI_WRITTEN_MACHINE} ${EFI_PE_MACHINE})
endif()
set(EFI_TARGET ON)

# Cross settings for one EFI image build. EFI_ARCH is the architecture's
# suffix in UEFI's removable-media file names (BOOT<SUFFIX>.EFI).
# clang 14 cannot emit PE objects for a "-uefi" triple, so we compile for the
# Windows COFF target of the same processor, whose calling convention is the
# firmware's (Microsoft x64 on x86-64, cdecl on IA32), and link with lld-link
# as an EFI application.
set(EFI_ARCH "" CACHE STRING "UEFI architecture suffix of this image build")
# The compiler checks run in try_compile projects of their own; they need it too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES EFI_ARCH)

# Per suffix: clang target, lld-link /machine, flags of that architecture.
# No floating-point or vector registers: firmware need not have enabled them
# (32-bit Arm EDK2 leaves VFP off, and an image that saves d8/d9 in a prologue
# stops with an Undefined Instruction). No MOVW/MOVT pairs on 32-bit Arm:
# U-Boot does not apply their base relocations, literal pools it does.
set(EFI_ARCH_aa64_TARGET aarch64-unknown-windows)
set(EFI_ARCH_aa64_MACHINE arm64)
set(EFI_ARCH_aa64_FLAGS -mgeneral-regs-only)
set(EFI_ARCH_x64_TARGET x86_64-unknown-windows)
set(EFI_ARCH_x64_MACHINE x64)
set(EFI_ARCH_x64_FLAGS -mgeneral-regs-only)
set(EFI_ARCH_ia32_TARGET i686-unknown-windows)
set(EFI_ARCH_ia32_MACHINE x86)
set(EFI_ARCH_ia32_FLAGS -mgeneral-regs-only)
set(EFI_ARCH_arm_TARGET thumbv7-unknown-windows)
set(EFI_ARCH_arm_MACHINE arm)
set(EFI_ARCH_arm_FLAGS -mno-movt -mfpu=none)
# lld-link writes 0x01C4 (ARMNT) for Thumb-2; EDK2 loads only 0x01C2 (THUMB).
set(EFI_ARCH_arm_SET_MACHINE 0x01C4 0x01C2)
# lld-link has no RISC-V: no /machine, the image is linked as an ELF below.
# Hidden symbols keep the code free of GOT loads; lld 14 cannot relax.
set(EFI_ARCH_riscv64_TARGET riscv64-unknown-elf)
set(EFI_ARCH_riscv64_FLAGS -march=rv64imac -mabi=lp64 -mcmodel=medany -mno-relax -fpie
    -fvisibility=hidden)

if(NOT DEFINED EFI_ARCH_${EFI_ARCH}_TARGET)
  message(FATAL_ERROR "EFI_ARCH='${EFI_ARCH}': not an architecture this build knows")
endif()

set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR ${EFI_ARCH})
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_LINKER lld-link)

set(EFI_ARCH_FLAGS ${EFI_ARCH_${EFI_ARCH}_FLAGS})
# -fno-zero-initialized-in-bss: zeroed globals are written out in .data. When
# all of .data is zeroes, lld-link gives it no file bytes and a file position
# of 0 while still calling it initialised data, and shim's loader refuses such
# a section as lying inside the headers.
string(JOIN " " EFI_COMPILE_FLAGS --target=${EFI_ARCH_${EFI_ARCH}_TARGET} ${EFI_ARCH_FLAGS}
     -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector -fshort-wchar
     -mno-stack-arg-probe -fno-builtin-memcpy -fno-builtin-memset -fno-zero-initialized-in-bss)
set(CMAKE_C_FLAGS_INIT "${EFI_COMPILE_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${EFI_COMPILE_FLAGS}")

if(EFI_ARCH_${EFI_ARCH}_MACHINE)
  # /Brepro: the PE TimeDateStamp becomes a hash of the image instead of the
  # link time, so that two builds of the same sources give the same bytes.
  string(JOIN " " CMAKE_CXX_LINK_EXECUTABLE <CMAKE_LINKER> /nologo /subsystem:efi_application
       /entry:EfiMain /nodefaultlib /machine:${EFI_ARCH_${EFI_ARCH}_MACHINE} /dynamicbase /Brepro
       <OBJECTS> /out:<TARGET> <LINK_LIBRARIES>)
else()
  # A position-independent ELF whose segments are the image's sections, then
  # the PE32+ image made from it (time stamp 0: the same bytes every build).
  string(JOIN " " link ld.lld -pie --no-dynamic-linker -Bsymbolic -z norelro --build-id=none
       -T ${CMAKE_CURRENT_LIST_DIR}/riscv64-efi.lds -e EfiMain
       <OBJECTS> -o <TARGET_BASE>.elf <LINK_LIBRARIES>)
  string(JOIN " " convert /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/../tools/build/elf-to-pe.py
       <TARGET_BASE>.elf <TARGET>)
  set(CMAKE_CXX_LINK_EXECUTABLE "${link}" "${convert}")
endif()
set(CMAKE_C_LINK_EXECUTABLE "${CMAKE_CXX_LINK_EXECUTABLE}")

set(EFI_SET_MACHINE ${EFI_ARCH_${EFI_ARCH}_SET_MACHINE})
set(EFI_TARGET ON)

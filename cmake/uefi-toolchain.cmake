# Cross settings for one EFI image build. EFI_ARCH is the architecture's
# suffix in UEFI's removable-media file names (BOOT<SUFFIX>.EFI): aa64.
# clang 14 cannot emit PE objects for a "-uefi" triple, so we compile for the
# Windows COFF target of the same processor (same calling convention as the
# firmware's) and link with lld-link as an EFI application.
set(EFI_ARCH "" CACHE STRING "UEFI architecture suffix of this image build")
# The compiler checks run in try_compile projects of their own; they need it too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES EFI_ARCH)

# suffix: clang target, lld-link /machine, flags of that architecture
set(EFI_ARCH_aa64_TARGET aarch64-unknown-windows)
set(EFI_ARCH_aa64_MACHINE arm64)
set(EFI_ARCH_aa64_FLAGS "-mgeneral-regs-only")

if(NOT DEFINED EFI_ARCH_${EFI_ARCH}_TARGET)
  message(FATAL_ERROR "EFI_ARCH='${EFI_ARCH}': not an architecture this build knows")
endif()

set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR ${EFI_ARCH})
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_LINKER lld-link)

set(EFI_COMPILE_FLAGS "--target=${EFI_ARCH_${EFI_ARCH}_TARGET} ${EFI_ARCH_${EFI_ARCH}_FLAGS} -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector -fshort-wchar -mno-stack-arg-probe -fno-builtin-memcpy -fno-builtin-memset")
set(CMAKE_C_FLAGS_INIT "${EFI_COMPILE_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${EFI_COMPILE_FLAGS}")

# /Brepro: the PE TimeDateStamp becomes a hash of the image instead of the
# link time, so that two builds of the same sources give the same bytes.
set(CMAKE_CXX_LINK_EXECUTABLE
    "<CMAKE_LINKER> /nologo /subsystem:efi_application /entry:EfiMain /nodefaultlib /machine:${EFI_ARCH_${EFI_ARCH}_MACHINE} /dynamicbase /Brepro <OBJECTS> /out:<TARGET> <LINK_LIBRARIES>")
set(CMAKE_C_LINK_EXECUTABLE "${CMAKE_CXX_LINK_EXECUTABLE}")

set(EFI_TARGET ON)

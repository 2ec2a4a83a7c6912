# Cross settings for the AArch64 PE32+ EFI application build.
# clang 14 cannot emit PE objects for an "-uefi" triple, so we compile for the
# Windows ARM64 COFF target (same calling convention on AArch64) and link with
# lld-link as an EFI application.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_LINKER lld-link)

set(EFI_COMPILE_FLAGS "--target=aarch64-unknown-windows -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector -fshort-wchar -mno-stack-arg-probe -mgeneral-regs-only -fno-builtin-memcpy -fno-builtin-memset")
set(CMAKE_C_FLAGS_INIT "${EFI_COMPILE_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${EFI_COMPILE_FLAGS}")

# /Brepro: the PE TimeDateStamp becomes a hash of the image instead of the
# link time, so that two builds of the same sources give the same bytes.
set(CMAKE_CXX_LINK_EXECUTABLE
    "<CMAKE_LINKER> /nologo /subsystem:efi_application /entry:EfiMain /nodefaultlib /machine:arm64 /dynamicbase /Brepro <OBJECTS> /out:<TARGET> <LINK_LIBRARIES>")
set(CMAKE_C_LINK_EXECUTABLE "${CMAKE_CXX_LINK_EXECUTABLE}")

set(EFI_TARGET ON)

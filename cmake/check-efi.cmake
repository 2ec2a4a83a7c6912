# Post-build check: the image must be an AArch64 (0xAA64) PE32+ with the EFI
# application subsystem (10) and must carry base relocations, since the
# firmware loads it wherever it finds room.
execute_process(COMMAND llvm-readobj --file-headers --coff-basereloc ${EFI_FILE}
                OUTPUT_VARIABLE headers RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "llvm-readobj failed on ${EFI_FILE}")
endif()
foreach(expected "Format: COFF-ARM64" "IMAGE_FILE_MACHINE_ARM64 \\(0xAA64\\)"
                 "Magic: 0x20B" "IMAGE_SUBSYSTEM_EFI_APPLICATION \\(0xA\\)")
  if(NOT headers MATCHES "${expected}")
    message(FATAL_ERROR "${EFI_FILE}: expected '${expected}' in its headers")
  endif()
endforeach()
# The image is reproducible (lld-link /Brepro): the same sources give these bytes.
file(SHA256 ${EFI_FILE} image_sha256)
get_filename_component(image_name ${EFI_FILE} NAME)
message(STATUS "${image_name} SHA-256 ${image_sha256}")

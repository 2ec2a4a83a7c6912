# Builds the EFI image once more, in a directory of its own, and requires the
# very bytes of the main build's image.
#   cmake -DSOURCE_DIR=<tree> -DREFERENCE=<image> -DWORK_DIR=<dir> -DGENERATOR=<g>
#         -P check-reproducible.cmake
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} -G ${GENERATOR}
          -DCMAKE_TOOLCHAIN_FILE=${SOURCE_DIR}/cmake/aarch64-uefi-toolchain.cmake
          -DCMAKE_BUILD_TYPE=Release
  OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring the second build failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} --target addbootentry
                OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the second build failed")
endif()
file(SHA256 ${REFERENCE} first)
file(SHA256 ${WORK_DIR}/addbootentry.efi second)
message(STATUS "first build  ${first}")
message(STATUS "second build ${second}")
if(NOT first STREQUAL second)
  message(FATAL_ERROR "two builds of the same sources differ")
endif()
file(REMOVE_RECURSE ${WORK_DIR})

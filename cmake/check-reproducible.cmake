# SPDX-License-Identifier: BSD-2-Clause-Patent
# Builds the EFI images of one architecture once more, in a directory of its
# own, and requires the very bytes of every image of the main build.
#   cmake -DSOURCE_DIR=<tree> -DEFI_ARCH=<suffix> -DREFERENCE_DIR=<main build's images>
#         -DWORK_DIR=<dir> -DGENERATOR=<g> -DPYTHON=<interpreter> -P check-reproducible.cmake
cmake_minimum_required(VERSION 3.20)
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} -G ${GENERATOR}
          -DCMAKE_TOOLCHAIN_FILE=${SOURCE_DIR}/cmake/uefi-toolchain.cmake
          -DEFI_ARCH=${EFI_ARCH} -DCMAKE_BUILD_TYPE=Release -DPython3_EXECUTABLE=${PYTHON}
  OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring the second build failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the second build failed")
endif()
file(GLOB images RELATIVE ${REFERENCE_DIR} ${REFERENCE_DIR}/*.efi)
if(NOT "addbootentry${EFI_ARCH}.efi" IN_LIST images)
  message(FATAL_ERROR "no addbootentry${EFI_ARCH}.efi in ${REFERENCE_DIR}")
endif()
foreach(image IN LISTS images)
  file(SHA256 ${REFERENCE_DIR}/${image} first)
  if(NOT EXISTS ${WORK_DIR}/${image})
    message(FATAL_ERROR "the second build made no ${image}")
  endif()
  file(SHA256 ${WORK_DIR}/${image} second)
  message(STATUS "${image}: first build ${first}, second build ${second}")
  if(NOT first STREQUAL second)
    message(FATAL_ERROR "two builds of ${image} from the same sources differ")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})

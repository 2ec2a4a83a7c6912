# SPDX-License-Identifier: BSD-2-Clause-Patent
# The release folder: cmake --build build --target dist writes build/dist/
# (tools/release/mkdist.py) from the images of every architecture in
# EFI_ARCHITECTURES, the Linux programs of LINUX_ARCHITECTURES and the Ansible collection. With SIGNING_KEY and SIGNING_CERT it also signs them.
set(SIGNING_KEY "" CACHE FILEPATH "PEM private key: dist also writes every image signed with it")
set(SIGNING_CERT "" CACHE FILEPATH "PEM certificate of SIGNING_KEY")
if((SIGNING_KEY AND NOT SIGNING_CERT) OR (SIGNING_CERT AND NOT SIGNING_KEY))
  message(FATAL_ERROR "signing needs both SIGNING_KEY and SIGNING_CERT")
endif()

set(DIST_DIR ${CMAKE_BINARY_DIR}/dist)
# Everything but the output folder, so that a test can build the same release
# once more elsewhere.
set(DIST_ARGS --source ${CMAKE_SOURCE_DIR} --version ${PROJECT_VERSION})
# Shim and MokManager, which a signed release starts through on x64 and aa64.
set(SHIM_DIR ${CMAKE_BINARY_DIR}/firmware/shim)
list(APPEND DIST_ARGS --shim ${SHIM_DIR})
if(SIGNING_KEY)
  list(APPEND DIST_ARGS --key ${SIGNING_KEY} --cert ${SIGNING_CERT})
endif()
foreach(suffix IN LISTS EFI_ARCHITECTURES)
  list(APPEND DIST_ARGS ${suffix}=${EFI_BINARY_DIR}/${suffix}/addbootentry${suffix}.efi)
endforeach()
# The Ansible collection's tarball, its version project()'s.
list(APPEND DIST_ARGS --collection ${CMAKE_SOURCE_DIR}/ansible/ansible_collections/addbootentry/uefi)
# The Linux program goes into its architecture's package.
foreach(suffix IN LISTS LINUX_ARCHITECTURES)
  list(APPEND DIST_ARGS --linux=${suffix}=${CMAKE_BINARY_DIR}/linux-program/${suffix}/addbootentry)
endforeach()

if(SIGNING_KEY)
  set(FETCH_SHIM COMMAND ${CMAKE_SOURCE_DIR}/tools/release/fetch-shim.sh ${SHIM_DIR})
endif()
add_custom_target(dist
  ${FETCH_SHIM}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/release/mkdist.py ${DIST_DIR} ${DIST_ARGS}
  COMMENT "Release folder ${DIST_DIR}"
  VERBATIM)
add_dependencies(dist efi linux-programs)

# SPDX-License-Identifier: BSD-2-Clause-Patent
# The table of architectures (architectures.json) for the build files, the
# toolchain file and the check scripts alike.
file(READ ${CMAKE_CURRENT_LIST_DIR}/architectures.json EFI_ARCHITECTURES_TABLE)

# efi_architectures(<out>): every suffix, in the table's order.
function(efi_architectures out)
  string(JSON count LENGTH "${EFI_ARCHITECTURES_TABLE}" architectures)
  set(suffixes "")
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON suffix GET "${EFI_ARCHITECTURES_TABLE}" architectures ${i} suffix)
    list(APPEND suffixes ${suffix})
  endforeach()
  set(${out} ${suffixes} PARENT_SCOPE)
endfunction()

# linux_architectures(<out>): the suffixes whose entry has a "linux" fact,
# those the Linux program is built for, in the table's order.
function(linux_architectures out)
  efi_architectures(suffixes)
  set(linux "")
  foreach(suffix IN LISTS suffixes)
    efi_architecture(triple ${suffix} linux triple)
    if(triple)
      list(APPEND linux ${suffix})
    endif()
  endforeach()
  set(${out} ${linux} PARENT_SCOPE)
endfunction()

# require_efi_architecture(<suffix> <what>): stops the build or script <what>
# at once when the table has no such architecture, rather than letting it go
# on with empty facts.
function(require_efi_architecture suffix what)
  efi_architectures(suffixes)
  list(FIND suffixes "${suffix}" index)  # not IN_LIST: -P scripts run under old policies
  if(index EQUAL -1)
    message(FATAL_ERROR "EFI_ARCH='${suffix}': not an architecture ${what} knows (${suffixes})")
  endif()
endfunction()

# efi_architecture(<out> <suffix> <key>...): one fact of an architecture; an
# array as a list, an object as its member names (sorted), a boolean as ON or
# OFF, and empty when the architecture, or that fact, is not in the table.
function(efi_architecture out suffix)
  efi_architectures(suffixes)
  list(FIND suffixes "${suffix}" index)
  set(value "")
  if(index GREATER -1)
    set(path architectures ${index} ${ARGN})
    string(JSON type ERROR_VARIABLE missing TYPE "${EFI_ARCHITECTURES_TABLE}" ${path})
    if(missing)
    elseif(type STREQUAL "ARRAY" OR type STREQUAL "OBJECT")
      string(JSON count LENGTH "${EFI_ARCHITECTURES_TABLE}" ${path})
      set(i 0)
      while(i LESS count)
        if(type STREQUAL "ARRAY")
          string(JSON item GET "${EFI_ARCHITECTURES_TABLE}" ${path} ${i})
        else()
          string(JSON item MEMBER "${EFI_ARCHITECTURES_TABLE}" ${path} ${i})
        endif()
        list(APPEND value ${item})
        math(EXPR i "${i} + 1")
      endwhile()
    else()
      string(JSON value GET "${EFI_ARCHITECTURES_TABLE}" ${path})
    endif()
  endif()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

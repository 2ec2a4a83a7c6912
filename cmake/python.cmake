# SPDX-License-Identifier: BSD-2-Clause-Patent
# The Python that runs the build's tools, the release builder and the tests:
# the first python3 on PATH that has the modules the tests import, which
# tools/setup.sh installs as Debian packages for the system's interpreter (a
# python3 earlier on PATH, pyenv's say, may lack them); else any python3.
# -DPython3_EXECUTABLE=... chooses one.
function(python_has_test_modules result candidate)
  execute_process(COMMAND ${candidate} -c "import pexpect, pyte, PIL"
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT rc EQUAL 0)
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()
# Only the interpreter's path is used; FindPython3 would start it about ten
# times more in every configure (each EFI sub-build and each second build),
# seconds apiece on a loaded machine.
find_program(Python3_EXECUTABLE python3 VALIDATOR python_has_test_modules)
if(NOT Python3_EXECUTABLE)
  unset(Python3_EXECUTABLE CACHE)
  find_program(Python3_EXECUTABLE python3 REQUIRED)
endif()
if(NOT EXISTS "${Python3_EXECUTABLE}")
  message(FATAL_ERROR "Python3_EXECUTABLE=${Python3_EXECUTABLE}: no such program")
endif()

# Runs the demo client once and checks its exit code and output.
#
#   cmake -DPROGRAM=<wrenutil> -DARGS="<arguments>" -DCODE=<exit code>
#         -DEXPECT=<regular expression> [-DDATA_DIR=<folder>] -P cli_test.cmake
#
# DATA_DIR is made empty before the run and given to the program as
# WRENUTIL_DATA_DIR, so that nothing is written outside it.
#
# ARGS is split like a shell command line ('' is an empty argument). EXPECT
# must match the standard
# output followed by the standard error. The run fails on a different exit
# code, on output that does not match, and on any "internal error" (a crash
# message or platform objects left alive at exit).
cmake_minimum_required(VERSION 3.25)
separate_arguments(args UNIX_COMMAND "${ARGS}")
if(DATA_DIR)
  file(REMOVE_RECURSE "${DATA_DIR}")
  file(MAKE_DIRECTORY "${DATA_DIR}")
  set(ENV{WRENUTIL_DATA_DIR} "${DATA_DIR}")
endif()
# Each argument quoted, so that an empty one survives.
set(quoted "")
foreach(arg IN LISTS args)
  string(REPLACE "\\" "\\\\" arg "${arg}")
  string(REPLACE "\"" "\\\"" arg "${arg}")
  string(REPLACE "$" "\\$" arg "${arg}")
  string(APPEND quoted " \"${arg}\"")
endforeach()
cmake_language(EVAL CODE "
  execute_process(
    COMMAND \"${PROGRAM}\" ${quoted}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    TIMEOUT 60)")
set(all "${out}${err}")
if(NOT "${result}" STREQUAL "${CODE}")
  message(FATAL_ERROR
    "wrenutil ${ARGS}: exit code ${result}, expected ${CODE}\n${all}")
endif()
if(NOT all MATCHES "${EXPECT}")
  message(FATAL_ERROR
    "wrenutil ${ARGS}: output does not match \"${EXPECT}\":\n${all}")
endif()
if(DATA_DIR)
  file(REMOVE_RECURSE "${DATA_DIR}")
endif()
if(all MATCHES "internal error")
  message(FATAL_ERROR "wrenutil ${ARGS}: ${all}")
endif()

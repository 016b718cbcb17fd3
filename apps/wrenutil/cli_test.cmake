# Runs the demo client and checks its exit code and output.
#
#   cmake -DPROGRAM=<wrenutil> -DARGS="<arguments>" -DCODE=<exit code>
#         -DEXPECT=<regular expression> [-DDATA_DIR=<folder>]
#         [-DTHEN_ARGS=... -DTHEN_CODE=... -DTHEN_EXPECT=...] -P cli_test.cmake
#
# ARGS is split like a shell command line. EXPECT must match the standard
# output followed by the standard error. The run fails on a different exit
# code, on output that does not match, and on any "internal error" (a crash
# message or platform objects left alive at exit). Standard input is empty.
#
# DATA_DIR is made empty before the run and given to the program as
# WRENUTIL_DATA_DIR, so that nothing is written outside it. THEN_* give a
# second run in the same folder: a new process that must see what the first
# one kept.
if(DATA_DIR)
  file(REMOVE_RECURSE "${DATA_DIR}")
  file(MAKE_DIRECTORY "${DATA_DIR}")
  set(ENV{WRENUTIL_DATA_DIR} "${DATA_DIR}")
endif()

function(run_once args code expect)
  separate_arguments(argv UNIX_COMMAND "${args}")
  execute_process(
    COMMAND ${PROGRAM} ${argv}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    INPUT_FILE /dev/null
    TIMEOUT 60)
  set(all "${out}${err}")
  if(NOT "${result}" STREQUAL "${code}")
    message(FATAL_ERROR "wrenutil ${args}: exit code ${result}, expected ${code}\n${all}")
  endif()
  if(NOT all MATCHES "${expect}")
    message(FATAL_ERROR "wrenutil ${args}: output does not match \"${expect}\":\n${all}")
  endif()
  if(all MATCHES "internal error")
    message(FATAL_ERROR "wrenutil ${args}: ${all}")
  endif()
endfunction()

run_once("${ARGS}" "${CODE}" "${EXPECT}")
if(DEFINED THEN_ARGS)
  run_once("${THEN_ARGS}" "${THEN_CODE}" "${THEN_EXPECT}")
endif()
if(DATA_DIR)
  file(REMOVE_RECURSE "${DATA_DIR}")
endif()

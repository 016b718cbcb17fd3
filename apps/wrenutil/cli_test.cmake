# Runs the demo client and checks its exit code and output.
#
#   cmake -DPROGRAM=<wrenutil> -DARGS="<arguments>" -DCODE=<exit code>
#         -DEXPECT=<regular expression> [-DDATA_DIR=<folder>]
#         [-DTHEN_ARGS=... -DTHEN_CODE=... -DTHEN_EXPECT=...] -P cli_test.cmake
#
# ARGS is split like a shell command line. EXPECT must match the standard
# output followed by the standard error. The run fails on a different exit
# code, on output that does not match, and on any "internal error" (a crash
# message or platform objects left alive at exit).
#
# Every run uses DATA_DIR (emptied first; by default a folder beside this
# run's working directory) as its XDG data folder, so that nothing is written
# to the real home. THEN_* give a second run in the same folder: a new process
# that must see what the first one kept.
if(NOT DATA_DIR)
  set(DATA_DIR "${CMAKE_CURRENT_BINARY_DIR}/cli_data")
endif()
file(REMOVE_RECURSE "${DATA_DIR}")
file(MAKE_DIRECTORY "${DATA_DIR}")

function(run_once args code expect)
  separate_arguments(argv UNIX_COMMAND "${args}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env XDG_DATA_HOME=${DATA_DIR} ${PROGRAM} ${argv}
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
file(REMOVE_RECURSE "${DATA_DIR}")

# Runs the demo client several times in a row over one fresh data folder (the
# XDG data folder of every run), so that a later run sees what an earlier one
# stored; each run is checked by cli_test.cmake.
#
#   cmake -DPROGRAM=<wrenutil> -DDIR=<data folder> -DSTEPS=<steps>
#         -P cli_sequence_test.cmake
#
# DIR is emptied first and removed at the end. STEPS holds the runs separated
# by "@@", each "<arguments>|<exit code>|<regular expression>".
file(REMOVE_RECURSE "${DIR}")
file(MAKE_DIRECTORY "${DIR}")
set(ENV{XDG_DATA_HOME} "${DIR}")
string(REPLACE "@@" ";" steps "${STEPS}")
set(n 0)
foreach(step IN LISTS steps)
  math(EXPR n "${n} + 1")
  string(REPLACE "|" ";" fields "${step}")
  list(GET fields 0 args)
  list(GET fields 1 code)
  list(GET fields 2 expect)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=${PROGRAM} "-DARGS=${args}" -DCODE=${code}
      "-DEXPECT=${expect}" -P ${CMAKE_CURRENT_LIST_DIR}/cli_test.cmake
    RESULT_VARIABLE result
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "run ${n} of the sequence failed:\n${out}${err}")
  endif()
endforeach()
file(REMOVE_RECURSE "${DIR}")

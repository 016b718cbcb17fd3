# Runs the demo client several times in a row over one fresh data folder (the
# XDG data folder of every run), so that a later run sees what an earlier one
# stored, and checks each run's exit code and output.
#
#   cmake -DPROGRAM=<wrenutil> -DDIR=<data folder> -DSTEPS=<steps>
#         -P cli_sequence_test.cmake
#
# DIR is emptied first and removed at the end. STEPS holds the runs separated
# by "@@", each "<arguments>|<exit code>|<regular expression>" as in
# cli_test.cmake. A run also fails on any "internal error".
file(REMOVE_RECURSE "${DIR}")
file(MAKE_DIRECTORY "${DIR}")
set(ENV{XDG_DATA_HOME} "${DIR}")
string(REPLACE "@@" ";" steps "${STEPS}")
set(n 0)
foreach(step IN LISTS steps)
  math(EXPR n "${n} + 1")
  string(REPLACE "|" ";" fields "${step}")
  list(GET fields 0 args_text)
  list(GET fields 1 code)
  list(GET fields 2 expect)
  separate_arguments(args UNIX_COMMAND "${args_text}")
  execute_process(
    COMMAND ${PROGRAM} ${args}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    TIMEOUT 60)
  set(all "${out}${err}")
  if(NOT "${result}" STREQUAL "${code}")
    message(FATAL_ERROR
      "run ${n}, wrenutil ${args_text}: exit code ${result}, expected ${code}\n${all}")
  endif()
  if(NOT all MATCHES "${expect}")
    message(FATAL_ERROR
      "run ${n}, wrenutil ${args_text}: output does not match \"${expect}\":\n${all}")
  endif()
  if(all MATCHES "internal error")
    message(FATAL_ERROR "run ${n}, wrenutil ${args_text}: ${all}")
  endif()
endforeach()
file(REMOVE_RECURSE "${DIR}")

# Runs the demo client and checks its exit code and output.
#
#   cmake -DPROGRAM=<wrenutil> -DARGS="<arguments>" -DCODE=<exit code>
#         -DEXPECT=<regular expression> [-DDATA_DIR=<folder>]
#         [-DBEFORE="<arguments> && <arguments>"]
#         [-DTHEN_ARGS=... -DTHEN_CODE=... -DTHEN_EXPECT=...] -P cli_test.cmake
#
# ARGS is split like a shell command line ('' is an empty argument). EXPECT
# must match the standard output followed by the standard error. The run
# fails on a different exit code, on output that does not match, and on any
# "internal error" (a crash message or platform objects left alive at exit).
# Standard input is empty.
#
# With DATA_DIR the folder is emptied first and the program runs with it as
# its data folder (WRENUTIL_DATA_DIR, XDG_DATA_HOME and HOME), so that its
# profile store is the test's own. BEFORE names earlier runs in that folder,
# each of which must exit 0; THEN_* give a second checked run after it: a new
# process that must see what the first one kept.
cmake_minimum_required(VERSION 3.25)

if(DATA_DIR)
  file(REMOVE_RECURSE "${DATA_DIR}")
  file(MAKE_DIRECTORY "${DATA_DIR}")
  set(ENV{WRENUTIL_DATA_DIR} "${DATA_DIR}")
  set(ENV{XDG_DATA_HOME} "${DATA_DIR}")
  set(ENV{HOME} "${DATA_DIR}")
endif()

# Runs the program on the arguments of `line`; the exit code and the output
# (standard output, then standard error) in `result_var` and `output_var`.
function(run_program line result_var output_var)
  separate_arguments(args UNIX_COMMAND "${line}")
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
      INPUT_FILE /dev/null
      TIMEOUT 60)")
  set(${result_var} "${result}" PARENT_SCOPE)
  set(${output_var} "${out}${err}" PARENT_SCOPE)
endfunction()

function(check_run line code expect)
  run_program("${line}" result all)
  if(NOT "${result}" STREQUAL "${code}")
    message(FATAL_ERROR "wrenutil ${line}: exit code ${result}, expected ${code}\n${all}")
  endif()
  if(NOT all MATCHES "${expect}")
    message(FATAL_ERROR "wrenutil ${line}: output does not match \"${expect}\":\n${all}")
  endif()
  if(all MATCHES "internal error")
    message(FATAL_ERROR "wrenutil ${line}: ${all}")
  endif()
endfunction()

if(BEFORE)
  string(REPLACE "&&" ";" before_runs "${BEFORE}")
  foreach(run IN LISTS before_runs)
    run_program("${run}" before_result before_out)
    if(NOT before_result EQUAL 0)
      message(FATAL_ERROR "wrenutil ${run}: exit code ${before_result}\n${before_out}")
    endif()
  endforeach()
endif()

check_run("${ARGS}" "${CODE}" "${EXPECT}")
if(DEFINED THEN_ARGS)
  check_run("${THEN_ARGS}" "${THEN_CODE}" "${THEN_EXPECT}")
endif()

# Warnings for our own targets.
function(wrenutil_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wconversion -Wshadow
    -Wno-sign-conversion)
  if(WRENUTIL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(WRENUTIL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# wrenutil_add_test(NAME name SOURCES a_test.cpp ... [LIBS lib ...]
#                   [FIXTURE fixture])
# One test executable, run through CTest; every test binary links the shared
# fixture (fresh core, captured logs and assertions, live-object check).
# FIXTURE names a CTest fixture that its tests require.
function(wrenutil_add_test)
  cmake_parse_arguments(T "" "NAME;FIXTURE" "SOURCES;LIBS" ${ARGN})
  if(NOT WRENUTIL_BUILD_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE wrenutil_testing ${T_LIBS}
    GTest::gtest GTest::gmock GTest::gtest_main)
  wrenutil_set_warnings(${T_NAME})
  set(fixture "")
  if(T_FIXTURE)
    set(fixture FIXTURES_REQUIRED ${T_FIXTURE})
  endif()
  # ENVIRONMENT goes last: the discovery script splits its list value, and
  # a property named after it would be read as part of it.
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60
    PROPERTIES ${fixture}
      ENVIRONMENT "WRENUTIL_LOG=;WRENUTIL_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# wrenutil_embed_text(TARGET target SYMBOL kName FILE path)
# Compiles the file's text into `target` as `extern const char kName[]`
# (zero-terminated). Generated at configure time; editing the file re-runs
# the configuration.
function(wrenutil_embed_text)
  cmake_parse_arguments(E "" "TARGET;SYMBOL;FILE" "" ${ARGN})
  get_filename_component(abs "${E_FILE}" ABSOLUTE)
  set(out "${PROJECT_BINARY_DIR}/embedded/${E_SYMBOL}.cpp")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${abs}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DINPUT=${abs} -DOUTPUT=${out}
    -DSYMBOL=${E_SYMBOL} -P ${PROJECT_SOURCE_DIR}/cmake/EmbedText.cmake
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot embed ${E_FILE}")
  endif()
  target_sources(${E_TARGET} PRIVATE "${out}")
endfunction()

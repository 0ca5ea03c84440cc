# Build kinds and the helpers every folder uses to declare deliverables, tests,
# fuzz targets and benchmarks.
#
#   TX_KIND      native | sanitize | win32 | win64
#   TX_NATIVE    ON for native and sanitize (Linux; portable code only)
#   TX_WINDOWS   ON for win32 and win64
#   TX_WINE      ON for win64 (the build whose tests run under Wine)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(TX_WINDOWS ON)
  set(TX_NATIVE OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TX_KIND win64)
    set(TX_WINE ON)
  else()
    set(TX_KIND win32)
    set(TX_WINE OFF)
  endif()
else()
  set(TX_WINDOWS OFF)
  set(TX_NATIVE ON)
  set(TX_WINE OFF)
  if(TX_SANITIZE)
    set(TX_KIND sanitize)
  else()
    set(TX_KIND native)
  endif()
endif()

set(TX_DIST ${CMAKE_SOURCE_DIR}/dist/${TX_KIND})
set(TX_HARNESS ${CMAKE_BINARY_DIR}/wine-harness)
set(TX_PYTHON /usr/bin/python3)
set(TX_WINE_RUN ${CMAKE_SOURCE_DIR}/harness/wine-run)
message(STATUS "Build kind: ${TX_KIND}")

# tx_deliverable(target): a shipped .exe or .dll, written to dist/<kind>/.
function(tx_deliverable target)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${TX_DIST}
    LIBRARY_OUTPUT_DIRECTORY ${TX_DIST}
    PREFIX "")
endfunction()

# Environment shared by every test: where the harness keeps its display,
# Wine prefix and screenshots, and where the deliverables are; the harness module
# and the TABLNK tests' driver (sitelist/windows/tests/tablnk_driver.py) importable.
function(_tx_test_env name)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
    "TX_HARNESS=${TX_HARNESS}" "TX_DIST=${TX_DIST}" "TX_BUILD=${CMAKE_BINARY_DIR}"
    "TX_SOURCE=${CMAKE_SOURCE_DIR}" "TX_SCREENSHOTS=${CMAKE_SOURCE_DIR}/build/screenshots"
    "PYTHONPATH=${CMAKE_SOURCE_DIR}/harness:${CMAKE_SOURCE_DIR}/sitelist/windows/tests"
    "PYTHONDONTWRITEBYTECODE=1")
endfunction()

# tx_native_test(NAME n SOURCES ... [LIBS ...] [ARGS ...]): a GoogleTest program of
# portable code, built and run in the native and sanitize builds.
function(tx_native_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;ARGS" ${ARGN})
  if(NOT TX_NATIVE)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest pthread)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} ${T_ARGS} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${TX_KIND}" TIMEOUT ${T_TIMEOUT})
  _tx_test_env(${T_NAME})
endfunction()

# tx_wine_test(NAME n SOURCES ... [LIBS ...] [ARGS ...]): a GoogleTest program built
# for win64 and run under Wine in the harness's prefix, on its Xvfb display.
function(tx_wine_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;ARGS" ${ARGN})
  if(NOT TX_WINE)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest_main gtest)
  add_test(NAME ${T_NAME} COMMAND ${TX_WINE_RUN} $<TARGET_FILE:${T_NAME}> ${T_ARGS}
           WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "wine" TIMEOUT ${T_TIMEOUT}
                       FIXTURES_REQUIRED wine RESOURCE_LOCK wine_display)
  _tx_test_env(${T_NAME})
endfunction()

# tx_script_test(NAME n COMMAND ... [WINE] [LABEL l] [DEPENDS targets]): a test driven by a
# script (usually Python with harness/txharness.py). WINE puts it in the Wine fixture.
function(tx_script_test)
  cmake_parse_arguments(T "WINE" "NAME;TIMEOUT;LABEL" "COMMAND" ${ARGN})
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  if(T_WINE)
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine_display)
    if(NOT T_LABEL)
      set(T_LABEL wine)
    endif()
  endif()
  if(NOT T_LABEL)
    set(T_LABEL ${TX_KIND})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT})
  _tx_test_env(${T_NAME})
endfunction()

# tx_fuzz_target(NAME n SOURCES ... [LIBS ...] CORPUS dir [SECONDS s]): a libFuzzer
# target, built in the sanitize build. The tests replay the corpus and fuzz briefly.
function(tx_fuzz_target)
  cmake_parse_arguments(T "" "NAME;CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT TX_KIND STREQUAL "sanitize")
    return()
  endif()
  if(NOT T_SECONDS)
    set(T_SECONDS 20)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_compile_options(${T_NAME} PRIVATE -fsanitize=fuzzer-no-link)
  target_link_options(${T_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}-corpus)
  add_test(NAME ${T_NAME}_replay COMMAND ${T_NAME} -runs=0 ${T_CORPUS})
  add_test(NAME ${T_NAME}_brief COMMAND sh -c
    "mkdir -p '${work}' && exec '$<TARGET_FILE:${T_NAME}>' -max_total_time=${T_SECONDS} -print_final_stats=1 '${work}' '${T_CORPUS}'")
  set_tests_properties(${T_NAME}_replay ${T_NAME}_brief PROPERTIES LABELS "sanitize;fuzz" TIMEOUT 600)
endfunction()

# tx_benchmark(NAME n SOURCES ... [LIBS ...]): a native program run by hand, never by the tests.
function(tx_benchmark)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT TX_KIND STREQUAL "native")
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
endfunction()

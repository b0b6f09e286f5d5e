# Shared build settings and the helpers every folder uses to declare its targets.

set(MQ_TEST_RESULTS ${CMAKE_BINARY_DIR}/test-results CACHE PATH "Where test runs leave their GoogleTest XML reports")

add_library(mq_options INTERFACE)
target_compile_features(mq_options INTERFACE cxx_std_20)
# The warnings every preset keeps, as errors: the usual set, and shadowing, since a name
# that hides another (a parameter hiding a member, a local hiding a parameter) is how a
# guard ends up restoring nothing. Unused parameters stay allowed: handlers and overrides
# take parameters they do not need. MQ_WERROR=OFF turns the errors back into warnings.
option(MQ_WERROR "Treat the kept warnings as errors" ON)
if(MSVC)
  target_compile_options(mq_options INTERFACE /W4 $<$<BOOL:${MQ_WERROR}>:/WX>)
else()
  target_compile_options(mq_options INTERFACE -Wall -Wextra -Wshadow -Wno-unused-parameter
                                              $<$<BOOL:${MQ_WERROR}>:-Werror>)
endif()
if(WIN32)
  target_compile_definitions(mq_options INTERFACE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                                                   _WIN32_WINNT=0x0A00 WINVER=0x0A00)
endif()
target_include_directories(mq_options INTERFACE ${PROJECT_SOURCE_DIR})

# mq_add_library(name SOURCES ... [LIBS ...]): a static library of the product.
function(mq_add_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC mq_options ${A_LIBS})
endfunction()

# mq_add_executable(name [WIN32] SOURCES ... [LIBS ...]): a program or tool of the product.
function(mq_add_executable name)
  cmake_parse_arguments(A "WIN32" "" "SOURCES;LIBS" ${ARGN})
  if(A_WIN32 AND WIN32)
    add_executable(${name} WIN32 ${A_SOURCES})
  else()
    add_executable(${name} ${A_SOURCES})
  endif()
  target_link_libraries(${name} PRIVATE mq_options ${A_LIBS})
endfunction()

# mq_add_test(name {SOURCES ... [LIBS ...] | PROGRAM target} [ARGS ...]
#             [WRAPPER command ... [NO_EMULATOR]] [TIMEOUT s] [WORKING_DIRECTORY d] [DESKTOP]):
# one test for ctest. With SOURCES it builds a GoogleTest executable of that name; with
# PROGRAM it runs a program built elsewhere (another suite with a filter, the product itself).
# ARGS follow the program on its command line. WRAPPER runs it through a command (a script
# and its own leading arguments) that prepares its surroundings, a proxy, routes or a prefix
# of its own: the command gets the emulator and the program, then ARGS; with NO_EMULATOR it
# gets the program alone, for scripts that start it under Wine themselves. DESKTOP marks a
# test that shows windows on the shared test desktop or moves its mouse pointer: no two such
# tests run at the same time, since one's windows would lie under the other's pointer. Under
# the windows preset ctest runs programs through the Wine emulator inside the test sandbox.
# Each GoogleTest run writes an XML report into MQ_TEST_RESULTS, which the test command adds
# up (a test that writes none counts by its ctest result).
function(mq_add_test name)
  cmake_parse_arguments(A "DESKTOP;NO_EMULATOR" "TIMEOUT;WORKING_DIRECTORY;PROGRAM" "SOURCES;LIBS;ARGS;WRAPPER"
                        ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  if(NOT A_WORKING_DIRECTORY)
    set(A_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  if(A_PROGRAM)
    set(program ${A_PROGRAM})
  else()
    set(program ${name})
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE mq_options ${A_LIBS} GTest::gmock GTest::gtest_main)
  endif()
  if(A_WRAPPER)
    # The emulator applies only where the command is the target itself.
    set(emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
    if(A_NO_EMULATOR)
      set(emulator)
    endif()
    add_test(NAME ${name} COMMAND ${A_WRAPPER} ${emulator} $<TARGET_FILE:${program}> ${A_ARGS}
             WORKING_DIRECTORY ${A_WORKING_DIRECTORY})
  else()
    add_test(NAME ${name} COMMAND ${program} ${A_ARGS} WORKING_DIRECTORY ${A_WORKING_DIRECTORY})
  endif()
  # GoogleTest on Windows takes a path without a drive letter as relative; under Wine the
  # Unix root is drive Z:.
  set(report ${MQ_TEST_RESULTS}/${name}.xml)
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    set(report Z:${report})
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${A_TIMEOUT}
    ENVIRONMENT "GTEST_OUTPUT=xml:${report};MQ_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(A_DESKTOP)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK test_desktop)
  endif()
endfunction()

# mq_hex_of(file var): the bytes of `file` as upper-case hex, for form descriptions that
# carry pictures as binary data.
function(mq_hex_of file var)
  file(READ ${file} hex HEX)
  string(TOUPPER "${hex}" hex)
  set(${var} "${hex}" PARENT_SCOPE)
endfunction()

# mq_add_fuzzer(name SOURCES ... [LIBS ...]): a libFuzzer target (fuzz preset only).
function(mq_add_fuzzer name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE mq_options ${A_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# mq_add_benchmark(name SOURCES ... [LIBS ...]): a Google Benchmark executable.
function(mq_add_benchmark name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE mq_options ${A_LIBS} benchmark::benchmark)
  set_property(GLOBAL APPEND PROPERTY MQ_BENCHMARKS ${name})
endfunction()

# mq_add_win_benchmark(name SOURCES ... [LIBS ...]): a timed program of the Windows build,
# for what can only be measured on the platform. It takes --benchmark_out=FILE and writes its
# figures there as Google Benchmark JSON; scripts/bench.sh runs it under Wine.
function(mq_add_win_benchmark name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE mq_options ${A_LIBS})
  set_property(GLOBAL APPEND PROPERTY MQ_BENCHMARKS ${name})
endfunction()

# Helpers shared by every folder's CMakeLists.txt.

# The fuzz configuration (clang only): every library of ours is built with
# coverage for libFuzzer, so the fuzzer sees the code it drives; each fuzz
# target's own file adds -fsanitize=fuzzer (fuzz/CMakeLists.txt).
option(TESSALINE_FUZZ "Build the fuzz targets as libFuzzer programs (clang)" OFF)
if(TESSALINE_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "TESSALINE_FUZZ needs clang (CC=clang CXX=clang++)")
endif()
# Fuzzing runs optimised code, and the traces of what it finds name lines,
# whatever the build type (these come after the type's own flags).
if(TESSALINE_FUZZ)
  add_compile_options(-O2 -g)
endif()

# LLD links the large sanitized test programs several times faster than the
# default linker; without it (or with -DTESSALINE_LLD=OFF) the default one.
option(TESSALINE_LLD "Link with LLD when the compiler can" ON)
if(TESSALINE_LLD)
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-fuse-ld=lld" TESSALINE_HAS_LLD)
  if(TESSALINE_HAS_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()

# Warnings for our own code only; third-party headers come in as SYSTEM.
function(tessaline_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# tessaline_library(<name> SOURCES ... DEPS ...): the static library of one
# subsystem, named tessaline_<name>, with the repository root as include root
# (code includes "foundation/engine_string.h" and the like).
function(tessaline_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(tessaline_${name} STATIC ${ARG_SOURCES})
  target_include_directories(tessaline_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(tessaline_${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  tessaline_warnings(tessaline_${name})
  if(TESSALINE_FUZZ)
    target_compile_options(tessaline_${name} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# The headers every test program parses, precompiled once for all of them
# (tessaline_test_headers owns the result; tests/CMakeLists.txt makes it).
# A program whose definitions differ where they matter (SDL's _REENTRANT,
# which every program gets through foundation/) compiles without it, and
# the compiler warns that it could not use it.
function(tessaline_test_headers)
  add_library(tessaline_test_headers OBJECT ${PROJECT_SOURCE_DIR}/tests/precompiled.cpp)
  target_link_libraries(tessaline_test_headers PRIVATE tessaline_foundation GTest::gtest GTest::gmock)
  tessaline_warnings(tessaline_test_headers)
  target_precompile_headers(tessaline_test_headers PRIVATE ${PROJECT_SOURCE_DIR}/tests/precompiled.h)
endfunction()

# tessaline_test(<name> SOURCES ... DEPS ... PROPERTIES ... [LONG <filter>]
# [COST <seconds>]): one GoogleTest program whose tests CTest discovers one
# by one. The tests the GoogleTest filter LONG names are the long forms
# `make test` leaves out: they carry the label "long" (`make test-long`
# runs them). COST, about the longest test's seconds, lets CTest start the
# program's tests before shorter ones.
function(tessaline_test name)
  cmake_parse_arguments(ARG "" "LONG;COST" "SOURCES;DEPS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  tessaline_warnings(${name})
  if(TARGET tessaline_test_headers)
    target_precompile_headers(${name} REUSE_FROM tessaline_test_headers)
  endif()
  set(properties ${ARG_PROPERTIES})
  if(ARG_COST)
    list(APPEND properties COST ${ARG_COST})
  endif()
  if(ARG_LONG)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${ARG_LONG}" PROPERTIES ${properties})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "${ARG_LONG}" PROPERTIES ${properties} LABELS long)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  endif()
endfunction()

# tessaline_bench(<name> SOURCES ... DEPS ...): a Google Benchmark program,
# built with the rest, run by hand.
function(tessaline_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  tessaline_warnings(${name})
endfunction()

# tessaline_subsystem(<name> DEPS ... PRIVATE_DEPS ...): the library of the
# folder this is called from, made of every .cpp in it and its subfolders.
function(tessaline_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  tessaline_library(${name} SOURCES ${sources} DEPS ${ARG_DEPS} PRIVATE_DEPS ${ARG_PRIVATE_DEPS})
endfunction()

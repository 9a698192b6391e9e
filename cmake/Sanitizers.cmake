# SPDX-License-Identifier: GPL-3.0-or-later
# Sanitizer and fuzzing builds, chosen by cache options (the presets in
# CMakePresets.json set them):
#   V217_SANITIZE  comma-separated sanitizers for every target of the
#                  project, e.g. "address,undefined" or "thread".
#   V217_FUZZ      builds the libFuzzer targets in tests/fuzz (clang only);
#                  every target gets the fuzzer's coverage instrumentation.
# The flags go on before any target is created, so the whole project (the
# core library, the tests, the tools) is built the same way.

set(V217_SANITIZE "" CACHE STRING
  "Sanitizers for every target, comma-separated (address,undefined or thread)")
option(V217_FUZZ "Build the libFuzzer targets in tests/fuzz (needs clang)" OFF)

if(V217_SANITIZE)
  if(V217_SANITIZE MATCHES "thread" AND V217_SANITIZE MATCHES "address")
    message(FATAL_ERROR "V217_SANITIZE: thread cannot be combined with address")
  endif()
  # Halt on the first finding: a report that scrolls past in a passing run
  # helps nobody.
  add_compile_options(-fsanitize=${V217_SANITIZE} -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${V217_SANITIZE})
  # g++ 12 checks the wrong object in the vptr check of a lambda that
  # captures this and is called from another class's member template (the
  # windows' button handlers run through Controller::run): it reports the
  # caller as "not an object of type" the window. clang checks it correctly.
  if(V217_SANITIZE MATCHES "undefined" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-fno-sanitize=vptr)
  endif()
endif()

if(V217_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "V217_FUZZ needs clang++ (libFuzzer); use the fuzz preset")
  endif()
  # Coverage feedback from all our code; only the fuzz targets link the
  # fuzzer's own main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

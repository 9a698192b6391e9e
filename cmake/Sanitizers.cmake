# SPDX-License-Identifier: GPL-3.0-or-later
# Sanitizer and fuzzing builds, chosen by cache options (the presets in
# CMakePresets.json set them):
#   V217_SANITIZE  comma-separated sanitizers for every target of the
#                  project, e.g. "address,undefined" or "thread".
#   V217_FUZZ      builds the libFuzzer targets in tests/fuzz (clang only);
#                  every target gets the fuzzer's coverage instrumentation.
# The flags go on before any target is created, so the whole project (the
# core library, the tests, the simulator and the other tools the tests run) is
# built the same way; the build-time tools take them off again
# (v217_build_tool below).

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

# v217_build_tool(<target>...): a tool that runs while building (the icon
# sizes, the help text) is built without the sanitizer and fuzzer flags. It
# is not what the sanitizers check, and instrumented it halts the build on
# reports from inside Qt, which is not built with them (ThreadSanitizer does
# not see Qt's own locking). Such a tool links nothing instrumented: only Qt
# and sources of its own.
function(v217_build_tool)
  foreach(target IN LISTS ARGV)
    foreach(property IN ITEMS COMPILE_OPTIONS LINK_OPTIONS)
      get_target_property(options ${target} ${property})
      if(options)
        list(FILTER options EXCLUDE REGEX "^-f(no-)?sanitize")
        set_property(TARGET ${target} PROPERTY ${property} ${options})
      endif()
    endforeach()
  endforeach()
endfunction()

# Both Windows bitnesses are built as sub-builds of the native tree, so one build and one
# CTest run cover Linux and Windows. Their binaries land in <sub-build>/bin.
include(ExternalProject)

foreach(arch x64 x86)
  ExternalProject_Add(mingw-${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/mingw-${arch}
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON)
endforeach()
set(TRELMO_WIN64_BIN ${CMAKE_BINARY_DIR}/mingw-x64/bin)
set(TRELMO_WIN32_BIN ${CMAKE_BINARY_DIR}/mingw-x86/bin)

# Whether this machine runs 32-bit programs, found out once by running one: where it does not,
# the tests that need 32-bit Wine are reported as skipped, with the reason, and the Wine scripts
# read the same answer from i386.status (empty: it runs).
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/i386-probe ${CMAKE_BINARY_DIR}/i386
                OUTPUT_VARIABLE TRELMO_I386_REASON OUTPUT_STRIP_TRAILING_WHITESPACE)
file(WRITE ${CMAKE_BINARY_DIR}/i386.status "${TRELMO_I386_REASON}")
# Where the 32-bit Windows tests run: "direct" under this machine's Wine, "vm" in a VM that runs
# 32-bit programs (tests/vm), "skip". By default direct where this machine runs them, else in
# the VM; TRELMO_WIN32_TESTS in the environment chooses (vm tests the VM path anywhere).
set(TRELMO_WIN32_TESTS "$ENV{TRELMO_WIN32_TESTS}")
if(NOT TRELMO_WIN32_TESTS)
  set(TRELMO_WIN32_TESTS direct)
  if(TRELMO_I386_REASON)
    set(TRELMO_WIN32_TESTS vm)
  endif()
elseif(NOT TRELMO_WIN32_TESTS MATCHES "^(direct|vm|skip)$")
  message(FATAL_ERROR "TRELMO_WIN32_TESTS is direct, vm or skip, not ${TRELMO_WIN32_TESTS}")
endif()
if(TRELMO_WIN32_TESTS STREQUAL "direct" AND TRELMO_I386_REASON)
  set(TRELMO_WIN32_TESTS skip)
endif()
if(TRELMO_WIN32_TESTS STREQUAL "skip" AND NOT TRELMO_I386_REASON)
  set(TRELMO_I386_REASON "left out by TRELMO_WIN32_TESTS=skip")
endif()
if(TRELMO_WIN32_TESTS STREQUAL "vm")
  message(STATUS "32-bit Windows tests run in a VM (tests/vm); here: ${TRELMO_I386_REASON}")
elseif(TRELMO_WIN32_TESTS STREQUAL "skip")
  message(STATUS "32-bit Windows tests will be skipped: ${TRELMO_I386_REASON}")
endif()

add_subdirectory(installer ${CMAKE_BINARY_DIR}/installer)
add_subdirectory(tests/wine)

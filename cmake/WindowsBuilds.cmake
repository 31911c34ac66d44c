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

add_subdirectory(installer ${CMAKE_BINARY_DIR}/installer)
add_subdirectory(tests/wine)

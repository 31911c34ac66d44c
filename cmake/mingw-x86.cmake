set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TRELMO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The loader of this bitness, named: the wine wrapper would pick the 32-bit one for both.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TRELMO_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The loader of this bitness, named: the wine wrapper would pick the 32-bit one for both.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)

# Cross build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686),
# for the PCs that cannot start a 64-bit program.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(XVER_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

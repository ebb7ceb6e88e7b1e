# What both MinGW-w64 toolchain files share; they set XVER_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first. The programs are linked statically (see
# CMakeLists.txt), so they need no DLL beside them; tests run under Wine
# through cmake/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: the win32 one of GCC before 13 has no std::thread
# or std::mutex.
find_program(CMAKE_CXX_COMPILER NAMES ${XVER_MINGW_TRIPLET}-g++-posix
                                      ${XVER_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${XVER_MINGW_TRIPLET}-gcc-posix
                                    ${XVER_MINGW_TRIPLET}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${XVER_MINGW_TRIPLET}-windres REQUIRED)

# Search the target's own root for libraries, headers and packages, never the
# host's: a Linux GoogleTest must not be taken for a Windows one. Programs are
# host programs.
set(CMAKE_FIND_ROOT_PATH /usr/${XVER_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Run Windows programs (tests, ctest) under Wine, in a prefix of this build.
# scripts/test_windows.sh starts and stops the Wine server of that prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CMAKE_BINARY_DIR}/wineprefix")

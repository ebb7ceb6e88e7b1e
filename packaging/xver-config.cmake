# find_package(xver): the imported target xver::xver, the shared library
# libxver with its header, found from where these files lie.
include(${CMAKE_CURRENT_LIST_DIR}/xver-targets.cmake)

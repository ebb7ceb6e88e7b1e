# CPack pre-build script for the Debian packages: each file over 4 kB in a
# package's /usr/share/doc/<package>/ compressed with gzip -9n, as Debian's
# policy asks; not the copyright, nor the examples, which are copied and used
# as they are.
find_program(gzip gzip REQUIRED)
file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS files)
  if(IS_SYMLINK "${file}" OR NOT file MATCHES "/usr/share/doc/[^/]+/(.+)$")
    continue()
  endif()
  if(CMAKE_MATCH_1 MATCHES "^(copyright|examples/.*|.*\\.gz)$")
    continue()
  endif()
  file(SIZE "${file}" size)
  if(size GREATER 4096)
    execute_process(COMMAND ${gzip} -9n "${file}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

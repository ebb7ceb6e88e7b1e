# Debian packages: what CPack does not do for them. Included by
# packaging/CMakeLists.txt where dpkg is; xver_debian_package() is called once
# per package.
#
# A new package, say libxver1: install its files in components of its own,
# have CPack make a package of them (CPACK_DEB_COMPONENT_INSTALL, a component
# group named after the package), and call
#   xver_debian_package(libxver1 COMPONENT libxver1-debian MULTI_ARCH same)
# with a component of that group for its Debian files; its lintian overrides,
# if it needs any, go in debian/libxver1.lintian-overrides. Its documentation
# is compressed and its control fields added by the CPack scripts below, and
# scripts/package.sh checks every package it finds.

set(XVER_DEBIAN_MAINTAINER "the xversend authors <xversend@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(XVER_LIBC_COPYRIGHT /usr/share/doc/libc6/copyright)

# Debian's change log, the same in every package, compressed without a time
# stamp.
configure_file(debian/changelog debian/changelog COPYONLY)
xver_gzip(${CMAKE_CURRENT_BINARY_DIR}/debian/changelog)

# The source packages, as "name (= version)" joined by ", ", of the C library
# and the compiler's runtime that a static link takes in: a security update
# of one of them means a rebuild. Empty, with a warning, when one of them
# comes from no Debian package.
function(xver_static_built_using out)
  set(sources)
  foreach(archive libc.a libstdc++.a libgcc.a libgcc_eh.a)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${archive}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    file(REAL_PATH "${path}" path)
    execute_process(COMMAND ${XVER_DPKG_QUERY} --search ${path}
                    OUTPUT_VARIABLE owner RESULT_VARIABLE failed ERROR_QUIET)
    if(failed OR NOT owner MATCHES "^([^,: ]+(:[^,: ]+)?)[,:]")
      message(WARNING "${path} belongs to no Debian package: no Static-Built-Using")
      set(${out} "" PARENT_SCOPE)
      return()
    endif()
    execute_process(COMMAND ${XVER_DPKG_QUERY} --show
                            "--showformat=\${source:Package} (= \${source:Version})"
                            ${CMAKE_MATCH_1}
                    OUTPUT_VARIABLE source COMMAND_ERROR_IS_FATAL ANY)
    list(APPEND sources "${source}")
  endforeach()
  list(REMOVE_DUPLICATES sources)
  list(JOIN sources ", " sources)
  set(${out} "${sources}" PARENT_SCOPE)
endfunction()

# The C library's copyright as Debian's libc6 gives it, as the text of a
# field: each line indented by one blank, an empty one as " .".
function(xver_libc_notices out)
  file(READ ${XVER_LIBC_COPYRIGHT} text)
  string(REGEX REPLACE "[ \t\n]+$" "" text "${text}")
  # Again while any is left: a match takes the line end that the next empty
  # line begins with.
  while(text MATCHES "\n[ \t]*\n")
    string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" text "${text}")
  endwhile()
  string(REPLACE "\n" "\n " text " ${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# xver_debian_package(<package> COMPONENT <component> [MULTI_ARCH <value>]
#                     [STATIC_PROGRAMS <program>...])
# Debian's own files of one package, installed by COMPONENT (left out of a
# plain cmake --install), which CPack must put in that package:
# /usr/share/doc/<package>/copyright, machine-readable, with the terms of the
# C library and the compiler's runtime for the STATIC_PROGRAMS, which are
# linked with them; the change log; and the lintian overrides
# debian/<package>.lintian-overrides, if there are any. The control fields
# CPack does not write, Multi-Arch and (for STATIC_PROGRAMS)
# Static-Built-Using, go into CPACK_XVER_CONTROL_<package>, which
# debian/control_fields.cmake adds to the built package.
function(xver_debian_package package)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "COMPONENT;MULTI_ARCH" "STATIC_PROGRAMS")
  set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package})
  set(fields)
  if(arg_MULTI_ARCH)
    list(APPEND fields "Multi-Arch: ${arg_MULTI_ARCH}")
  endif()

  set(XVER_MAINTAINER ${XVER_DEBIAN_MAINTAINER})
  file(READ debian/copyright.in copyright)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS debian/copyright.in)
  if(arg_STATIC_PROGRAMS)
    string(REGEX REPLACE "^/" "" bindir ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})
    list(TRANSFORM arg_STATIC_PROGRAMS PREPEND ${bindir}/ OUTPUT_VARIABLE files)
    list(JOIN files " " XVER_STATIC_FILES)
    xver_libc_notices(XVER_LIBC_NOTICES)
    file(READ debian/copyright-static.in static)
    string(APPEND copyright "${static}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 debian/copyright-static.in ${XVER_LIBC_COPYRIGHT})
    xver_static_built_using(sources)
    if(sources)
      list(APPEND fields "Static-Built-Using: ${sources}")
    endif()
  endif()
  file(CONFIGURE OUTPUT debian/${package}/copyright CONTENT "${copyright}" @ONLY)

  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/debian/${package}/copyright
                ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz
          DESTINATION ${docdir} COMPONENT ${arg_COMPONENT} EXCLUDE_FROM_ALL)
  set(overrides ${CMAKE_CURRENT_SOURCE_DIR}/debian/${package}.lintian-overrides)
  if(EXISTS ${overrides})
    install(FILES ${overrides} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
            RENAME ${package} COMPONENT ${arg_COMPONENT} EXCLUDE_FROM_ALL)
  endif()
  set(CPACK_XVER_CONTROL_${package} "${fields}" PARENT_SCOPE)
endfunction()

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${XVER_DEBIAN_MAINTAINER})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/debian/compress_docs.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/debian/control_fields.cmake)

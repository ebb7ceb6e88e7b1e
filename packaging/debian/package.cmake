# Debian packages: what CPack does not do for them. Included by
# packaging/CMakeLists.txt where dpkg is; xver_debian_package() is called once
# per package.
#
# A new package, say libxver1: install its files in components of their own
# and call
#   xver_debian_package(libxver1 COMPONENTS runtime SECTION libs MULTI_ARCH same ...)
# CPack then builds it from those components and libxver1-debian, which
# installs its Debian files; its lintian overrides, if it needs any, go in
# debian/libxver1.lintian-overrides, control files in debian/libxver1.symbols
# and debian/libxver1.triggers. Its documentation is compressed and its
# control fields added by the CPack scripts below, and scripts/package.sh
# checks every package it finds.

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

# xver_debian_package(<package> COMPONENTS <component>... SECTION <section>
#                     SUMMARY <text> DESCRIPTION <text> [DEPENDS <text>]
#                     [SHLIBDEPS] [ARCHITECTURE <value>] [MULTI_ARCH <value>]
#                     [STATIC_PROGRAMS <program>...])
# The Debian package <package>: the install rules of COMPONENTS, and Debian's
# own files, installed by the component <package>-debian (left out of a
# plain cmake --install): /usr/share/doc/<package>/copyright,
# machine-readable, with the terms of the C library and the compiler's
# runtime for the STATIC_PROGRAMS, which are linked with them; the change
# log; the lintian overrides debian/<package>.lintian-overrides and the
# control files debian/<package>.symbols and debian/<package>.triggers, those
# that there are. SUMMARY is the first line of the description (no
# CPACK_PACKAGE_DESCRIPTION_SUMMARY is set: CPack would put it before every
# package's). DEPENDS is written as it stands; SHLIBDEPS adds what
# dpkg-shlibdeps finds the package's shared objects need. The control fields
# CPack does not write, Multi-Arch and (for STATIC_PROGRAMS)
# Static-Built-Using, go into CPACK_XVER_CONTROL_<package>, which
# debian/control_fields.cmake adds to the built package.
function(xver_debian_package package)
  cmake_parse_arguments(PARSE_ARGV 1 arg "SHLIBDEPS"
    "SECTION;SUMMARY;DESCRIPTION;DEPENDS;ARCHITECTURE;MULTI_ARCH" "COMPONENTS;STATIC_PROGRAMS")
  set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package})
  set(debian_component ${package}-debian)

  # One component group, one package.
  string(TOUPPER ${package} upper)
  foreach(component IN LISTS arg_COMPONENTS debian_component)
    string(TOUPPER ${component} component)
    set(CPACK_COMPONENT_${component}_GROUP ${package} PARENT_SCOPE)
  endforeach()
  set(CPACK_COMPONENTS_ALL ${CPACK_COMPONENTS_ALL} ${arg_COMPONENTS} ${debian_component}
      PARENT_SCOPE)
  set(cpack CPACK_DEBIAN_${upper})
  set(${cpack}_PACKAGE_NAME ${package} PARENT_SCOPE)
  set(${cpack}_PACKAGE_SECTION ${arg_SECTION} PARENT_SCOPE)
  set(${cpack}_DESCRIPTION "${arg_SUMMARY}\n${arg_DESCRIPTION}" PARENT_SCOPE)
  set(${cpack}_PACKAGE_DEPENDS "${arg_DEPENDS}" PARENT_SCOPE)
  set(${cpack}_PACKAGE_SHLIBDEPS ${arg_SHLIBDEPS} PARENT_SCOPE)
  if(arg_ARCHITECTURE)
    set(${cpack}_PACKAGE_ARCHITECTURE ${arg_ARCHITECTURE} PARENT_SCOPE)
  endif()
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
          DESTINATION ${docdir} COMPONENT ${debian_component} EXCLUDE_FROM_ALL)
  set(overrides ${CMAKE_CURRENT_SOURCE_DIR}/debian/${package}.lintian-overrides)
  if(EXISTS ${overrides})
    install(FILES ${overrides} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
            RENAME ${package} COMPONENT ${debian_component} EXCLUDE_FROM_ALL)
  endif()
  set(control_files)
  foreach(name symbols triggers)
    set(file ${CMAKE_CURRENT_SOURCE_DIR}/debian/${package}.${name})
    if(EXISTS ${file})
      configure_file(${file} debian/${package}/control/${name} COPYONLY)
      list(APPEND control_files ${CMAKE_CURRENT_BINARY_DIR}/debian/${package}/control/${name})
    endif()
  endforeach()
  set(${cpack}_PACKAGE_CONTROL_EXTRA "${control_files}" PARENT_SCOPE)
  set(${cpack}_PACKAGE_CONTROL_STRICT_PERMISSION ON PARENT_SCOPE)
  set(CPACK_XVER_CONTROL_${package} "${fields}" PARENT_SCOPE)
endfunction()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${XVER_DEBIAN_MAINTAINER})
# A shlibs control file for each package with a shared library: programs
# built against this version need at least this version.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/debian/compress_docs.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/debian/control_fields.cmake)

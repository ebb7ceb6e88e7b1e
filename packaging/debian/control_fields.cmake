# CPack post-build script for the Debian packages: adds to each package the
# control fields CPack does not write, CPACK_XVER_CONTROL_<package> (see
# xver_debian_package), and builds it again with dpkg-deb.
find_program(dpkg_deb dpkg-deb REQUIRED)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${dpkg_deb} --field ${deb} Package
                  OUTPUT_VARIABLE package OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  set(fields "${CPACK_XVER_CONTROL_${package}}")
  if(NOT fields)
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND ${dpkg_deb} --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(READ ${tree}/DEBIAN/control control)
  string(STRIP "${control}" control)
  list(JOIN fields "\n" lines)
  file(WRITE ${tree}/DEBIAN/control "${control}\n${lines}\n")
  execute_process(COMMAND ${dpkg_deb} --root-owner-group --build ${tree} ${deb}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()

# CPack post-build script for the Debian packages: adds to each package the
# control fields CPack does not write, CPACK_XVER_CONTROL_<package> (see
# xver_debian_package), drops CPack's ldconfig scripts from a package that
# activates the ldconfig trigger, and builds the package again with dpkg-deb.
find_program(dpkg_deb dpkg-deb REQUIRED)
# What CPack writes as postinst and postrm for a library under /usr/lib.
set(ldconfig_script [[^#!/bin/sh

set -e

if \[ "\$1" = "(configure|remove)" \]; then
	ldconfig
fi
$]])
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${dpkg_deb} --field ${deb} Package
                  OUTPUT_VARIABLE package OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND ${dpkg_deb} --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)

  set(fields "${CPACK_XVER_CONTROL_${package}}")
  if(fields)
    file(READ ${tree}/DEBIAN/control control)
    string(STRIP "${control}" control)
    list(JOIN fields "\n" lines)
    file(WRITE ${tree}/DEBIAN/control "${control}\n${lines}\n")
  endif()

  # With the trigger, dpkg runs ldconfig once for all packages; a maintainer
  # script that calls it as well is redundant (lintian:
  # maintscript-calls-ldconfig).
  set(triggers)
  if(EXISTS ${tree}/DEBIAN/triggers)
    file(STRINGS ${tree}/DEBIAN/triggers triggers REGEX "^activate-noawait ldconfig$")
  endif()
  if(triggers)
    foreach(script postinst postrm)
      if(EXISTS ${tree}/DEBIAN/${script})
        file(READ ${tree}/DEBIAN/${script} text)
        if(NOT text MATCHES "${ldconfig_script}")
          message(FATAL_ERROR "${package}: ${script} does more than run ldconfig:\n${text}")
        endif()
        file(REMOVE ${tree}/DEBIAN/${script})
      endif()
    endforeach()
  endif()

  execute_process(COMMAND ${dpkg_deb} --root-owner-group --build ${tree} ${deb}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()

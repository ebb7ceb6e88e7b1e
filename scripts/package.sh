#!/usr/bin/env bash
# Builds the release packages into build/packages/ and checks them:
#   xversend, libxver1, libxver-dev  lintian -EvIL +pedantic: no error, warning
#   and python3-xver (.deb)          or pedantic tag but overridden ones;
#                                    control fields (section, Multi-Arch,
#                                    architecture, dependencies); hardened
#                                    programs and library; machine-readable
#                                    copyright; compressed docs; man pages
#                                    without warnings; each package's files
#   xversend                         static-pie programs, Static-Built-Using
#   libxver1                         SONAME, exports xver_* alone, as its
#                                    symbols file lists them; shlibs; the
#                                    ldconfig trigger, no maintainer script
#   libxver-dev                      xver.pc and the CMake package give the
#                                    tree they lie in, wherever it is
#   xversend-VERSION-windows-x64.zip the programs and xver.dll import system
#   xversend-VERSION-windows-x86.zip DLLs only and are PE32+ (x64) or PE32
#                                    (x86); xver.dll exports what xver.def
#                                    lists; the programs carry the version
#                                    resource (with CompanyName) and the
#                                    manifest; texts have CR LF line ends
# Any failed check fails the script. Installs what it needs when run as root
# on Debian.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh lintian devscripts python3-debian man-db mandoc binutils unzip file pkgconf
for preset in default windows windows-x86; do
  bash scripts/build.sh "$preset"
done

out=build/packages
rm -rf "$out"
for preset in default windows windows-x86; do
  cpack --preset "$preset" >/dev/null
done
rm -rf "$out/_CPack_Packages"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)
vendor=$(sed -n 's/^set(CPACK_PACKAGE_VENDOR "\(.*\)")$/\1/p' build/windows/CPackConfig.cmake)
[ -n "$vendor" ] || { echo "no CPACK_PACKAGE_VENDOR in build/windows/CPackConfig.cmake" >&2; exit 1; }
deb_arch=$(dpkg --print-architecture)
libdir=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb=$out/xversend_${version}_$deb_arch.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "CHECK FAILED: $*" >&2
  failures=$((failures + 1))
}
# same FILE SOURCE: the packaged FILE is the source's SOURCE, unchanged.
same() {
  cmp -s "$1" "$2" || fail "${1#"$work/"} is not $2"
}
# man_page FILE: formats without a warning, and mandoc finds nothing to say.
man_page() {
  [ -f "$1" ] || { fail "no man page ${1#"$work/"}"; return; }
  local warnings
  warnings=$(MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page ${1#"$work/"}: $warnings"
  warnings=$(mandoc -Tlint "$1" 2>&1) || true
  [ -z "$warnings" ] || fail "man page ${1#"$work/"}: $warnings"
}
# The C interface: the functions xver.def exports, one a line, sorted.
interface=$(sed '1,/^EXPORTS/d; s/^ *//' libxver/xver.def | sort)

echo "== packages"
ls -l "$out"

# Every Debian package: lintian, pedantic tags too, finds nothing but what
# packaging/debian/PACKAGE.lintian-overrides allows, each with its reason;
# the copyright is machine-readable and has the text of each licence it
# names, for a static program also those of the C library and the compiler's
# runtime in it, whose source packages Static-Built-Using names; programs
# and libraries pass hardening-check; documentation over 4 kB is compressed
# with gzip -9n; the change log is for unstable.
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build/default/CMakeCache.txt)
for package_file in "$out"/*.deb; do
  package=$(dpkg-deb -f "$package_file" Package)
  echo "== $package_file"
  # Overridden tags shown (O:), with their reasons (N:).
  lintian_out=$(lintian --fail-on none -EvIL +pedantic --show-overrides "$package_file" 2>&1) ||
    fail "$package: lintian did not run"
  echo "lintian:"
  grep -v 'running with root privileges' <<<"$lintian_out" || echo "no tag"
  ! grep -qE '^[EWP]: ' <<<"$lintian_out" || fail "$package: lintian reports E:, W: or P: tags"

  tree=$work/$package
  dpkg-deb -x "$package_file" "$tree"
  doc=$tree/usr/share/doc/$package
  static=()
  while IFS= read -r -d '' file; do
    headers=$(readelf -lW "$file" 2>/dev/null) && dynamic=$(readelf -dW "$file") || continue
    if [[ $file == */bin/* ]] && ! grep -q INTERP <<<"$headers"; then
      static+=("${file#"$tree/"}")
      ! grep -q '(NEEDED)' <<<"$dynamic" || fail "$package: ${file#"$tree/"} needs shared libraries"
      # In a static program the stack protector's and the fortified functions
      # are defined, not imported: hardening-check cannot see them there (the
      # objects are checked below).
      skip=(--nostackprotector)
    else
      skip=()
    fi
    # No control-flow protection: Debian 12's hardening flags do not ask for
    # it, and its C library is built without it.
    hardening-check --nocfprotection "${skip[@]}" "$file" || fail "$package: hardening-check ${file#"$tree/"}"
  done < <(find "$tree/usr" -type f \( -path '*/bin/*' -o -name '*.so*' \) -print0)

  built_using=$(dpkg-deb -f "$package_file" Static-Built-Using)
  if ((${#static[@]} > 0)); then
    # The source packages, at their installed versions, of what a static link
    # takes in.
    for archive in libc.a libstdc++.a libgcc.a; do
      path=$(realpath "$("$cxx" -print-file-name=$archive)")
      owner=$(dpkg-query -S "$path" 2>/dev/null) || { fail "$path belongs to no package"; continue; }
      source=$(dpkg-query -W -f='${source:Package} (= ${source:Version})' "${owner%%: *}")
      [[ ", $built_using, " == *", $source, "* ]] ||
        fail "$package: Static-Built-Using lacks $source (it says: $built_using)"
    done
  else
    [ -z "$built_using" ] || fail "$package: Static-Built-Using without a static program"
  fi
  /usr/bin/python3 - "$doc/copyright" "${static[@]}" <<'PY' || fail "$package: copyright"
import re, sys
from debian.copyright import Copyright
copyright = Copyright(open(sys.argv[1], encoding="utf-8"), strict=True)
texts = {p.license.synopsis for p in copyright.all_license_paragraphs()}
faults = []
for paragraph in copyright.all_files_paragraphs():
    for name in re.split(r" and | or |, ", paragraph.license.synopsis):
        if name not in texts and not paragraph.license.text:
            faults.append(f"no text of licence {name}")
for program in sys.argv[2:]:
    names = copyright.find_files_paragraph(program).license.synopsis.split(" and ")
    for name in ("LGPL-2.1+", "GPL-3+ with GCC-Runtime-Library exception"):
        if name not in names:
            faults.append(f"{program}: not under {name}")
for fault in faults:
    print("copyright:", fault, file=sys.stderr)
sys.exit(1 if faults else 0)
PY
  while IFS= read -r -d '' file; do
    name=${file#"$doc/"}
    case $name in
      copyright | examples/*) ;;
      *.gz)
        [ "$(od -An -tx1 -N10 "$file" | tr -d ' \n')" = 1f8b0800000000000203 ] ||
          fail "$package: $name is not compressed with gzip -9n" ;;
      *) [ "$(stat -c %s "$file")" -le 4096 ] || fail "$package: $name is over 4 kB, not compressed" ;;
    esac
  done < <(find "$doc" -type f -print0)
  zcat "$doc/changelog.gz" | head -n1 | grep -qE "^[^ ]+ \($version\) unstable;" ||
    fail "$package: the change log does not begin with version $version for unstable"
done

# The four packages and their control fields; Depends as a pattern: the
# programs are static, the library's needs are what dpkg-shlibdeps found,
# the rest need the library of this very version.
v=${version//./\\.}
packages=0
while IFS='|' read -r package architecture section multi_arch depends; do
  file=$out/${package}_${version}_$architecture.deb
  [ -f "$file" ] || { fail "no $file"; continue; }
  packages=$((packages + 1))
  for field in Package="$package" Version="$version" Architecture="$architecture" \
    Section="$section" Multi-Arch="$multi_arch"; do
    value=$(dpkg-deb -f "$file" "${field%%=*}")
    [ "$value" = "${field#*=}" ] || fail "$package: ${field%%=*} is '$value', not '${field#*=}'"
  done
  [ -n "$(dpkg-deb -f "$file" Maintainer)" ] || fail "$package: no maintainer"
  value=$(dpkg-deb -f "$file" Depends)
  [[ $value =~ ^$depends$ ]] || fail "$package: Depends is '$value'"
  [ -z "$(dpkg-deb -f "$file" Pre-Depends Recommends)" ] || fail "$package: Pre-Depends or Recommends"
done <<EOF
xversend|$deb_arch|utils|foreign|
libxver1|$deb_arch|libs|same|libc6 \(>= [^)]+\), libgcc-s1 \(>= [^)]+\), libstdc\+\+6 \(>= [^)]+\)
libxver-dev|$deb_arch|libdevel|same|libxver1 \(= $v\)
python3-xver|all|python|foreign|python3, libxver1 \(= $v\)
EOF
[ "$(find "$out" -name '*.deb' | wc -l)" = "$packages" ] || fail "packages other than these four"

echo "== $deb"
root=$work/xversend
# Fully static, position-independent programs: no program interpreter, no
# shared library (a static-pie program has a dynamic section for its own
# relocation), ELF type DYN flagged PIE.
for program in xversend xverctl; do
  file=$root/usr/bin/$program
  headers=$(readelf -hlW "$file") && dynamic=$(readelf -dW "$file") ||
    { fail "$program is no ELF program"; continue; }
  ! grep -q INTERP <<<"$headers" || fail "$program needs a program interpreter"
  ! grep -q '(NEEDED)' <<<"$dynamic" || fail "$program needs shared libraries"
  grep -qE 'Type: +DYN' <<<"$headers" && grep -qE '\(FLAGS_1\).* PIE' <<<"$dynamic" ||
    fail "$program is not position-independent"
done
# Their code as compiled, where hardening-check sees the stack protector and
# the fortified functions.
objects=$(cd build/default && ninja -t inputs xversend xverctl | grep '\.o$' | sed 's|^|build/default/|')
[ -n "$objects" ] || fail "no objects of the programs in build/default"
ar rc "$work/objects.a" $objects
hardening-check --nocfprotection "$work/objects.a" || fail "hardening-check: the programs' objects"
[ -d "$root/var/lib/xver/drive_c" ] && [ -z "$(ls -A "$root/var/lib/xver/drive_c")" ] ||
  fail "no empty default drive folder"
man_page "$root/usr/share/man/man1/xversend.1.gz"
man_page "$root/usr/share/man/man1/xverctl.1.gz"

# The shared library: its SONAME, the link to it, the C interface alone
# exported, as the symbols file lists it; shlibs; the ldconfig trigger
# instead of maintainer scripts.
package=libxver1
file=$out/${package}_${version}_$deb_arch.deb
echo "== $file"
lib=$work/$package/$libdir
[ "$(readlink "$lib/libxver.so.1")" = "libxver.so.$version" ] || fail "libxver.so.1 is no link to libxver.so.$version"
dynamic=$(readelf -dW "$lib/libxver.so.$version")
grep -qF 'Library soname: [libxver.so.1]' <<<"$dynamic" ||
  fail "the SONAME of libxver.so.$version is not libxver.so.1"
exports=$(nm -D --defined-only "$lib/libxver.so.1" | awk '{print $3}' | sort)
echo "libxver.so.1 exports:" $exports
[ "$exports" = "$interface" ] || fail "libxver.so.1 exports other functions than xver.def lists"
control=$work/$package.control
dpkg-deb -e "$file" "$control"
[ "$(ls "$control" | tr '\n' ' ')" = "control md5sums shlibs symbols triggers " ] ||
  fail "$package: control files $(ls "$control" | tr '\n' ' ')"
[ "$(sed -n 's/^ \(xver_[a-z_]*\)@Base [0-9][0-9.]*$/\1/p' "$control/symbols" | sort)" = "$interface" ] &&
  [ "$(grep -c '^ ' "$control/symbols")" = "$(wc -l <<<"$interface")" ] ||
  fail "$package: the symbols file does not list the interface"
[ "$(cat "$control/shlibs")" = "libxver 1 $package (>= $version)" ] || fail "$package: shlibs: $(cat "$control/shlibs")"
[ "$(cat "$control/triggers")" = "activate-noawait ldconfig" ] || fail "$package: triggers: $(cat "$control/triggers")"

# The development files, found through pkg-config and CMake in a tree the
# four packages are unpacked into, here a throwaway one.
package=libxver-dev
echo "== $out/${package}_${version}_$deb_arch.deb"
tree=$work/$package
same "$tree/usr/include/xver.h" libxver/xver.h
same "$tree/usr/share/doc/$package/examples/transceiver.c" examples/transceiver.c
[ "$(readlink "$tree/$libdir/libxver.so")" = libxver.so.1 ] || fail "libxver.so is no link to libxver.so.1"
defined=$(nm --defined-only "$tree/$libdir/libxver.a" 2>/dev/null) || true
grep -q ' T xver_open$' <<<"$defined" || fail "libxver.a does not define xver_open"
man_page "$tree/usr/share/man/man3/xver.3.gz"
unpacked=$work/unpacked
for package_file in "$out"/*.deb; do
  dpkg-deb -x "$package_file" "$unpacked"
done
unpacked=$(realpath "$unpacked")
export PKG_CONFIG_LIBDIR=$unpacked/$libdir/pkgconfig
[ "$(pkg-config --modversion xver)" = "$version" ] || fail "xver.pc: no version $version"
# The header and library folders of the unpacked tree, and the library.
flags=$(pkg-config --cflags --libs xver)
given=
for flag in $flags; do
  case $flag in
    -I*) [ "$(realpath "${flag#-I}")" = "$unpacked/usr/include" ] && given+=I ;;
    -L*) [ "$(realpath "${flag#-L}")" = "$unpacked/$libdir" ] && given+=L ;;
    -lxver) given+=l ;;
    *) given+=? ;;
  esac
done
[ "$given" = ILl ] || fail "xver.pc gives $flags"
[[ " $(pkg-config --static --libs xver) " == *" -lxver -lstdc++ "* ]] ||
  fail "xver.pc: the static link lacks -lstdc++: $(pkg-config --static --libs xver)"
unset PKG_CONFIG_LIBDIR
mkdir "$work/cmake"
cat >"$work/cmake/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.20)
project(xver_package LANGUAGES C)
find_package(xver $version EXACT REQUIRED CONFIG)
get_target_property(location xver::xver IMPORTED_LOCATION_RELEASE)
get_target_property(include xver::xver INTERFACE_INCLUDE_DIRECTORIES)
message(STATUS "found: \${xver_DIR}|\${location}|\${include}")
find_package(xver 2 QUIET CONFIG)
if(xver_FOUND)
  message(FATAL_ERROR "xver $version taken for version 2")
endif()
EOF
cmake_out=$(cmake -S "$work/cmake" -B "$work/cmake/build" -DCMAKE_PREFIX_PATH="$unpacked/usr" 2>&1) || true
found=$(sed -n 's/^-- found: //p' <<<"$cmake_out")
[ "$found" = "$unpacked/$libdir/cmake/xver|$unpacked/$libdir/libxver.so.$version|$unpacked/usr/include" ] ||
  fail "the CMake package: $cmake_out"

package=python3-xver
echo "== $out/${package}_${version}_all.deb"
tree=$work/$package
same "$tree/usr/lib/python3/dist-packages/xver.py" python/xver.py
same "$tree/usr/share/doc/$package/examples/transceiver.py" examples/transceiver.py

# Only DLLs that every Windows has: no C++ runtime, libgcc or winpthread DLL.
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|ws2_32|msvcrt)\.dll$'
for arch in x64 x86; do
  case $arch in
    x64) tools=x86_64-w64-mingw32 magic=020b preset=windows ;;
    x86) tools=i686-w64-mingw32 magic=010b preset=windows-x86 ;;
  esac
  zip=$out/xversend-$version-windows-$arch.zip
  echo "== $zip"
  unzip -q "$zip" -d "$work/$arch"
  folder=$work/$arch/xversend-$version
  for file in xversend.exe xverctl.exe README.txt LICENSE.txt docs/ipc.txt \
    examples/XverSetUp.Txt xver.dll xver.h libxver.dll.a xver.def; do
    [ -f "$folder/$file" ] || fail "$zip: no xversend-$version/$file"
  done
  # Notepad on Windows 7 needs CR LF; .md opens in no program there.
  while IFS= read -r -d '' file; do
    case $file in
      *.exe | *.dll | *.dll.a) ;;
      *.txt | *.Txt | *.h | *.def)
        type=$(file -b "$file")
        [[ $type == *text*", with CRLF line terminators" ]] ||
          fail "$zip: ${file#"$work/$arch/"} is $type" ;;
      *) fail "$zip: ${file#"$work/$arch/"} is neither a program, the library nor a text" ;;
    esac
  done < <(find "$folder" -type f -print0)
  for source in libxver/xver.h libxver/xver.def; do
    tr -d '\r' <"$folder/${source#libxver/}" | cmp -s - "$source" ||
      fail "$zip: ${source#libxver/} is not $source"
  done
  for binary in xversend.exe xverctl.exe xver.dll; do
    headers=$("$tools-objdump" -p "$folder/$binary") || { fail "$binary ($arch) is no $arch binary"; continue; }
    dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$headers")
    echo "$binary imports:" $dlls
    for dll in $dlls; do
      grep -qiE "$system_dlls" <<<"$dll" || fail "$binary ($arch) imports $dll"
    done
    grep -qE "^Magic[[:space:]]+$magic" <<<"$headers" ||
      fail "$binary ($arch) is not $( [ $magic = 010b ] && echo PE32 || echo PE32+)"
    [[ $binary == *.exe ]] || continue
    program=${binary%.exe}
    resources=$("$tools-windres" -i "$folder/$binary" -O rc) || true
    for value in "FileVersion\", \"$version.0\"" "ProductVersion\", \"$version.0\"" \
      "ProductName\", \"xversend\"" "OriginalFilename\", \"$program.exe\"" \
      "CompanyName\", \"$vendor\"" 'level=""asInvoker""'; do
      grep -qF "$value" <<<"$resources" || fail "$program.exe ($arch) resource lacks $value"
    done
  done
  # xver.dll by that name exports the C interface alone; a program built
  # with xver.h and the import library imports it from xver.dll.
  headers=$("$tools-objdump" -p "$folder/xver.dll") || true
  exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' <<<"$headers" | sort)
  echo "xver.dll exports:" $exports
  [ "$exports" = "$interface" ] || fail "xver.dll ($arch) exports other functions than xver.def lists"
  grep -qE '^Name[[:space:]]+[0-9a-f]+ xver\.dll$' <<<"$headers" || fail "xver.dll ($arch) calls itself otherwise"
  printf '#include <xver.h>\nint main(void) { return xver_version()[0] != 0; }\n' >"$work/$arch.c"
  cc=$(sed -n 's/^CMAKE_C_COMPILER:[A-Z]*=//p' "build/$preset/CMakeCache.txt")
  if "$cc" -I"$folder" -o "$work/$arch.exe" "$work/$arch.c" "$folder/libxver.dll.a"; then
    imports=$("$tools-objdump" -p "$work/$arch.exe" | sed -n '/DLL Name: xver\.dll/,/^$/p')
    grep -qE '[[:space:]]xver_version$' <<<"$imports" ||
      fail "a program linked with libxver.dll.a ($arch) does not take xver_version from xver.dll"
  else
    fail "no program builds with xver.h and libxver.dll.a ($arch)"
  fi
done

if ((failures > 0)); then
  echo "$failures package check(s) failed" >&2
  exit 1
fi
echo "all package checks passed"

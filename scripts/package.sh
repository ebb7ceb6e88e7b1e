#!/usr/bin/env bash
# Builds the release packages into build/packages/ and checks them:
#   xversend_VERSION_ARCH.deb        lintian -EvIL +pedantic: no error, warning
#                                    or pedantic tag but overridden ones;
#                                    static-pie, hardened programs;
#                                    machine-readable copyright; Multi-Arch
#                                    and Static-Built-Using; compressed docs;
#                                    no dependency; man pages without warnings
#   xversend-VERSION-windows-x64.zip the programs import system DLLs only, are
#   xversend-VERSION-windows-x86.zip PE32+ (x64) or PE32 (x86), and carry the
#                                    version resource (with CompanyName) and
#                                    the manifest; the texts are .txt with
#                                    CR LF line ends
# Any failed check fails the script. Installs what it needs when run as root
# on Debian.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh lintian devscripts python3-debian man-db binutils unzip file
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
deb=$out/xversend_${version}_$(dpkg --print-architecture).deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "CHECK FAILED: $*" >&2
  failures=$((failures + 1))
}

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

echo "== $deb"
[ "$(dpkg-deb -f "$deb" Package)" = xversend ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
[ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "section"
[ "$(dpkg-deb -f "$deb" Multi-Arch)" = foreign ] || fail "Multi-Arch is not foreign"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
[ -z "$(dpkg-deb -f "$deb" Depends Pre-Depends Recommends)" ] || fail "the package has dependencies"
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
for page in xversend xverctl; do
  file=$root/usr/share/man/man1/$page.1.gz
  [ -f "$file" ] || { fail "no man page $page(1)"; continue; }
  warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page $page(1): $warnings"
done

# Only DLLs that every Windows has: no C++ runtime, libgcc or winpthread DLL.
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|ws2_32|msvcrt)\.dll$'
for arch in x64 x86; do
  case $arch in
    x64) tools=x86_64-w64-mingw32 magic=020b ;;
    x86) tools=i686-w64-mingw32 magic=010b ;;
  esac
  zip=$out/xversend-$version-windows-$arch.zip
  echo "== $zip"
  unzip -q "$zip" -d "$work/$arch"
  folder=$work/$arch/xversend-$version
  for file in xversend.exe xverctl.exe README.txt LICENSE.txt docs/ipc.txt docs/robustness.txt \
    examples/XverSetUp.Txt; do
    [ -f "$folder/$file" ] || fail "$zip: no xversend-$version/$file"
  done
  # Notepad on Windows 7 needs CR LF; .md opens in no program there.
  while IFS= read -r -d '' file; do
    case $file in
      *.exe) ;;
      *.txt | *.Txt)
        type=$(file -b "$file")
        [[ $type == *text*", with CRLF line terminators" ]] ||
          fail "$zip: ${file#"$work/$arch/"} is $type" ;;
      *) fail "$zip: ${file#"$work/$arch/"} is neither a program nor a .txt" ;;
    esac
  done < <(find "$folder" -type f -print0)
  for program in xversend xverctl; do
    exe=$folder/$program.exe
    headers=$("$tools-objdump" -p "$exe") || { fail "$program.exe ($arch) is no $arch program"; continue; }
    dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$headers")
    echo "$program.exe imports:" $dlls
    for dll in $dlls; do
      grep -qiE "$system_dlls" <<<"$dll" || fail "$program.exe ($arch) imports $dll"
    done
    grep -qE "^Magic[[:space:]]+$magic" <<<"$headers" ||
      fail "$program.exe ($arch) is not $( [ $magic = 010b ] && echo PE32 || echo PE32+)"
    resources=$("$tools-windres" -i "$exe" -O rc) || true
    for value in "FileVersion\", \"$version.0\"" "ProductVersion\", \"$version.0\"" \
      "ProductName\", \"xversend\"" "OriginalFilename\", \"$program.exe\"" \
      "CompanyName\", \"$vendor\"" 'level=""asInvoker""'; do
      grep -qF "$value" <<<"$resources" || fail "$program.exe ($arch) resource lacks $value"
    done
  done
done

if ((failures > 0)); then
  echo "$failures package check(s) failed" >&2
  exit 1
fi
echo "all package checks passed"

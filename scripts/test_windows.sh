#!/usr/bin/env bash
# Builds the Windows programs with MinGW-w64, 64-bit (preset "windows") and
# 32-bit (preset "windows-x86"), and runs their tests under Wine. The 32-bit
# tests need a Wine that starts 32-bit programs (Debian: wine32, of the i386
# architecture); without one they are built, and skipped with a note.
#
#   bash scripts/test_windows.sh                 fails when the cross compilers
#                                                or Wine are missing and cannot
#                                                be installed
#   bash scripts/test_windows.sh --if-available  then skips, with a note
#
# Missing tools are installed when running as root on Debian.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly wine=/usr/lib/wine/wine64

# True when the cross compilers and Wine are there, installing them first when
# that is possible; otherwise says what is missing.
windows_tools_ready() {
  local missing=()
  command -v x86_64-w64-mingw32-g++ >/dev/null || missing+=(g++-mingw-w64-x86-64)
  command -v i686-w64-mingw32-g++ >/dev/null || missing+=(g++-mingw-w64-i686)
  [ -x "$wine" ] || missing+=(wine64)
  ((${#missing[@]} == 0)) || bash scripts/install_deps.sh "${missing[@]}"
}

# The cases for a double-byte code page run again in code page 932, which
# Wine takes from the locale ja_JP.UTF-8 (tests/CMakeLists.txt): it is made
# here when missing, as root with the package locales; otherwise those runs
# are left out, with a note.
japanese_locale_ready() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8' && return 0
  [ "$(id -u)" = 0 ] && bash scripts/install_deps.sh locales &&
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

if ! windows_tools_ready; then
  if [ "${1:-}" = --if-available ]; then
    echo "Windows tests skipped" >&2
    exit 0
  fi
  exit 1
fi

run=cmake/wine-run.sh
# The prefix the toolchain file gives a preset's tests (its build tree). One
# Wine server per preset, the prefix made on first use (6-8 s), so each test
# binary starts quickly; stopped however the run ends.
prefix=
trap '[ -z "$prefix" ] || "$run" "$prefix" --stop' EXIT
start_wine() {
  prefix=$PWD/build/$1/wineprefix
  "$run" "$prefix" --start
}
stop_wine() {
  "$run" "$prefix" --stop
  prefix=
}

for preset in windows windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

leave_out=()
if ! japanese_locale_ready; then
  echo "code page 932 runs left out: no locale ja_JP.UTF-8" \
    "(as root: apt-get install locales; localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)" >&2
  leave_out=(-E '_cp932$')
fi

start_wine windows
ctest --preset windows "${leave_out[@]}"
stop_wine

# Without its 32-bit half, this Wine ends a 32-bit program at once with exit
# status 0, so its tests would pass without having run: a program must be seen
# to print first.
start_wine windows-x86
version=$("$run" "$prefix" build/windows-x86/xverctl.exe --version | tr -d '\r') || true
if [[ $version == "xverctl "* ]]; then
  ctest --preset windows-x86 "${leave_out[@]}"
else
  echo "32-bit Windows tests skipped: this Wine cannot start 32-bit programs" \
    "(Debian: dpkg --add-architecture i386, then install wine32)" >&2
fi
stop_wine

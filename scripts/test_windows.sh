#!/usr/bin/env bash
# Builds the Windows programs with MinGW-w64 (preset "windows") and runs their
# tests under Wine.
#
#   bash scripts/test_windows.sh                 fails when the cross compiler
#                                                or Wine is missing and cannot
#                                                be installed
#   bash scripts/test_windows.sh --if-available  then skips, with a note
#
# Missing tools are installed when running as root on Debian.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly mingw_cxx=x86_64-w64-mingw32-g++
readonly wine=/usr/lib/wine/wine64

# True when the cross compiler and Wine are there, installing them first when
# that is possible; otherwise says what is missing.
windows_tools_ready() {
  local missing=()
  command -v "$mingw_cxx" >/dev/null || missing+=(g++-mingw-w64-x86-64)
  [ -x "$wine" ] || missing+=(wine64)
  ((${#missing[@]} == 0)) && return 0
  if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null; then
    echo "Windows tests need: ${missing[*]} (install them, or run as root on Debian)" >&2
    return 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
  command -v "$mingw_cxx" >/dev/null && [ -x "$wine" ]
}

if ! windows_tools_ready; then
  if [ "${1:-}" = --if-available ]; then
    echo "Windows tests skipped" >&2
    exit 0
  fi
  exit 1
fi

cmake --preset windows >/dev/null
cmake --build --preset windows

# The prefix the toolchain file gives the tests (build tree of the preset).
prefix=$PWD/build/windows/wineprefix
run=cmake/wine-run.sh
# One Wine server for the whole run, the prefix made on first use (6-8 s), so
# each test binary starts quickly. Stopped however the run ends.
trap '"$run" "$prefix" --stop' EXIT
"$run" "$prefix" --start
ctest --preset windows

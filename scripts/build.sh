#!/usr/bin/env bash
# Configures and builds one preset (default: "default"), installing the tools
# it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
deps=(cmake ninja-build g++ dpkg-dev)
[ "$preset" = fuzz ] || deps+=(libgtest-dev googletest)
case $preset in
  windows) deps+=(g++-mingw-w64-x86-64) ;;
  windows-x86) deps+=(g++-mingw-w64-i686) ;;
esac
bash scripts/install_deps.sh "${deps[@]}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

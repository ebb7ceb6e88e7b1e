#!/usr/bin/env bash
# Configures and builds one preset (default: "default"), installing the tools
# it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
bash scripts/install_deps.sh cmake ninja-build g++ libgtest-dev googletest
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

#!/usr/bin/env bash
# Builds and runs the test suite: the native build, then the Windows build
# under Wine where the cross compiler and Wine are present or installable.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh default
ctest --preset default

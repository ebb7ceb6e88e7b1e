#!/usr/bin/env bash
# The whole test suite: the native build, the same suite under AddressSanitizer
# and UndefinedBehaviorSanitizer, a bounded fuzzing run, and the Windows build
# under Wine where the cross compiler and Wine are present or installable.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh default
ctest --preset default

bash scripts/build.sh asan
ctest --preset asan

bash scripts/fuzz.sh

bash scripts/test_windows.sh --if-available

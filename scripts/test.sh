#!/usr/bin/env bash
# The whole test suite: the native build, the same suite under AddressSanitizer
# and UndefinedBehaviorSanitizer, a bounded fuzzing run, the Windows builds
# under Wine where the cross compilers and Wine are present or installable,
# and the release packages, checked, then unpacked and used: hand-offs by the
# installed programs and by the library's examples.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh default
ctest --preset default

bash scripts/build.sh asan
ctest --preset asan

bash scripts/fuzz.sh

bash scripts/test_windows.sh --if-available

bash scripts/package.sh
bash scripts/test_installed.sh

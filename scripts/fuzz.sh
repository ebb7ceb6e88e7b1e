#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a
# bounded time (FUZZ_SECONDS, default 60) from the seed corpus in
# tests/fuzz/corpus. A crash fails the run and leaves its input in
# build/fuzz/findings/ to be turned into a regression test. The preset builds
# the fuzzers alone: clang keeps its sanitizer runtimes out of shared
# libraries, so libxver.so cannot be linked --no-undefined there.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
bash scripts/install_deps.sh clang libclang-rt-14-dev cmake ninja-build
bash scripts/build.sh fuzz
findings=build/fuzz/findings
mkdir -p "$findings"
for fuzzer in setup_file_fuzzer setup_reader_fuzzer; do
  corpus=$(mktemp -d)
  cp tests/fuzz/corpus/* "$corpus/"
  echo "== $fuzzer for ${seconds}s"
  if ! "build/fuzz/$fuzzer" -max_total_time="$seconds" -max_len=4096 \
      -artifact_prefix="$findings/$fuzzer-" -print_final_stats=1 "$corpus" \
      >"build/fuzz/$fuzzer.log" 2>&1; then
    tail -n 40 "build/fuzz/$fuzzer.log"
    echo "$fuzzer found a failure; its input is in $findings" >&2
    rm -rf "$corpus"
    exit 1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "build/fuzz/$fuzzer.log" || true
  rm -rf "$corpus"
done
# The targets' scratch files, one per fuzzer process.
rm -f /dev/shm/xver_fuzz_*

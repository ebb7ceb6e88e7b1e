#!/usr/bin/env bash
# Measures, in one run on this machine: the hand-off of the release build
# (static) against the C floor (bench/floor.c) built both ways, dynamic and
# static, the peak memory of one hand-off, and how long a request takes to be
# refused while another process holds the status mutex.
set -euo pipefail
# Never on the objects of a suite that runs here.
source "$(dirname "$0")/../scripts/own_objects.sh"
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh hyperfine time gcc python3
bash scripts/build.sh default >/dev/null
bin=build/default
cc -O2 -o build/floor bench/floor.c
cc -O2 -static -o build/floor-static bench/floor.c
refuse_if_suite_runs "$bin/xverctl"

work=$(mktemp -d)
holder=
peer=
cleanup() {
  [ -n "$holder" ] && kill "$holder" 2>/dev/null
  [ -n "$peer" ] && kill "$peer" 2>/dev/null && wait "$peer" 2>/dev/null
  "$bin/xverctl" remove
  rm -rf "$work"
}
trap cleanup EXIT

export XVER_DRIVE_C=$work/c
bash scripts/make_drive_c.sh "$XVER_DRIVE_C"
# Spaces in the setup path would split hyperfine's command line.
ln -s "$XVER_DRIVE_C/Program Files/KESTRAVIA/Administration/Xver/XverSetUp.Txt" "$work/setup.txt"
path='C:\Data\obs_001.txt'

# The peer holds the seven segments, reporting READY and taking each path,
# as the transceiver-control process would.
"$bin/xverctl" remove
"$bin/xverctl" serve --status READY >/dev/null &
peer=$!
until "$bin/xverctl" show 2>/dev/null | grep -q '^MM_XMITERSTATUS *"READY"'; do sleep 0.01; done

echo "== hand-off: xversend against the C floor, dynamic and static"
# Each run finds the path slot free, as a lone request does: the previous
# run's path is taken before it (the floor does not look at the slot).
# The machine drifts over seconds: five rounds of 400 runs each, side by side,
# and the median of the rounds' ratios.
for round in 1 2 3 4 5; do
  hyperfine -N -i --warmup 20 --runs 400 --export-json "$work/handoff$round.json" \
    --prepare "$bin/xverctl path taken" \
    -n xversend "$bin/xversend $path" \
    -n floor "build/floor $work/setup.txt $path" \
    -n floor-static "build/floor-static $work/setup.txt $path" >/dev/null 2>&1
done
python3 - "$work"/handoff?.json <<'PY'
import json, statistics, sys
rounds = [{x["command"]: x["median"] for x in json.load(open(f))["results"]} for f in sys.argv[1:]]
med = lambda key: statistics.median(r[key] for r in rounds)
ratio = lambda key: statistics.median(r["xversend"] / r[key] for r in rounds)
print(f"median hand-off: xversend {med('xversend')*1e3:.3f} ms, floor {med('floor')*1e3:.3f} ms, "
      f"static floor {med('floor-static')*1e3:.3f} ms ({len(rounds)} rounds of 400 runs)")
print(f"ratio to the floor {ratio('floor'):.2f} (target <= 1.00), "
      f"to the static floor {ratio('floor-static'):.2f} (target <= 1.10)")
PY

echo "== peak resident memory of one hand-off"
peak=0
for _ in $(seq 20); do
  "$bin/xverctl" path taken
  kib=$(/usr/bin/time -f %M "$bin/xversend" "$path" 2>&1 >/dev/null | tail -n1) || true
  ((kib > peak)) && peak=$kib
done
floor_kib=$(/usr/bin/time -f %M build/floor "$work/setup.txt" "$path" 2>&1 >/dev/null | tail -n1) || true
static_kib=$(/usr/bin/time -f %M build/floor-static "$work/setup.txt" "$path" 2>&1 >/dev/null | tail -n1) || true
echo "peak RSS: xversend $peak KiB ($(python3 -c "print(f'{$peak/1024:.2f}')") MiB, target <= 1 MiB)," \
  "floor $floor_kib KiB, static floor $static_kib KiB"

echo "== refusal while another process holds the status mutex"
for run in 1 2 3; do
  "$bin/xverctl" hold MM_XMITERSTATUS 3500 >"$work/hold.out" &
  holder=$!
  until [ -s "$work/hold.out" ]; do sleep 0.01; done
  start=$(date +%s%N)
  status=0
  "$bin/xversend" "$path" || status=$?
  end=$(date +%s%N)
  echo "run $run: refused after $(( (end - start) / 1000000 )) ms, exit status $status (expected ~3000 ms, 0)"
  wait "$holder"
  holder=
  rm "$work/hold.out"
done

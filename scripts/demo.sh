#!/usr/bin/env bash
# The hand-off, visible: builds, starts the stand-in transceiver-control
# process, hands it a real file, then shows a refusal while it reports
# STARTING. Leaves nothing running and no named objects behind, and never
# touches those of a suite that runs on this machine.
set -euo pipefail
source "$(dirname "$0")/own_objects.sh"
cd "$(dirname "$0")/.."
bash scripts/build.sh default
bin=build/default
refuse_if_suite_runs "$bin/xverctl"

work=$(mktemp -d)
peer=
cleanup() {
  [ -n "$peer" ] && kill "$peer" 2>/dev/null && wait "$peer" 2>/dev/null
  "$bin/xverctl" remove
  rm -rf "$work"
}
trap cleanup EXIT

# A valid setup file on a temporary drive C:, and a file to send.
export XVER_DRIVE_C=$work/drive_c
bash scripts/make_drive_c.sh "$XVER_DRIVE_C"
file=$work/obs_001.txt
echo "observation 001" >"$file"

# Starts the peer with the given options and waits until it reports $1.
start_peer() {
  local want=$1
  shift
  "$bin/xverctl" remove
  "$bin/xverctl" serve "$@" >"$work/peer.out" &
  peer=$!
  for _ in $(seq 200); do
    "$bin/xverctl" show | grep -q "^MM_XMITERSTATUS *\"$want\"" && return
    sleep 0.02
  done
  echo "the peer never reported $want" >&2
  exit 1
}
stop_peer() {
  kill "$peer"
  wait "$peer" || true
  peer=
}

start_peer READY
status=0
"$bin/xversend" "$file" || status=$?
echo "xversend $file: exit status $status (1: handed over)"
for _ in $(seq 100); do [ -s "$work/peer.out" ] && break; sleep 0.02; done
echo "the peer took: $(cat "$work/peer.out")"
stop_peer

start_peer STARTING --status STARTING
status=0
"$bin/xversend" "$file" || status=$?
echo "xversend $file while the peer reports STARTING: exit status $status (0: refused)"
stop_peer

#!/usr/bin/env bash
# The programs as installed: the Debian package of scripts/package.sh
# unpacked into a throwaway folder (dpkg -x), and the native build installed
# into an empty prefix (cmake --install). With each, one real hand-off: the
# installed example setup file as the setup file (accepted: nothing on
# standard error), `xverctl serve --once` as the peer, `xversend` with a real
# file, which opens no shared library, NSS or character-set module on the way.
# Runs in a private /dev/shm, so it never meets a running suite or other tests.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --private-shm ]; then
  bash scripts/install_deps.sh strace
  as_root=()
  [ "$(id -u)" = 0 ] || as_root=(--map-root-user)
  exec unshare "${as_root[@]}" --mount --propagation private \
    sh -c 'mount -t tmpfs tmpfs /dev/shm && exec bash "$0" --private-shm' "$0"
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)
deb=build/packages/xversend_${version}_$(dpkg --print-architecture).deb
work=$(mktemp -d)
peer=
trap '[ -z "$peer" ] || kill "$peer" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# handoff NAME ROOT: one hand-off with ROOT/bin/xversend and ROOT/bin/xverctl.
handoff() {
  local name=$1 bin=$2/bin
  echo "== hand-off with the programs installed by $name"
  [ "$("$bin/xverctl" --version)" = "xverctl $version" ] ||
    fail "$name: xverctl --version says '$("$bin/xverctl" --version)'"

  XVER_DRIVE_C=$(mktemp -d -p "$work")
  export XVER_DRIVE_C
  local setup="$XVER_DRIVE_C/Program Files/KESTRAVIA/Administration/Xver"
  mkdir -p "$setup" "$XVER_DRIVE_C/Data"
  cp "$2/share/doc/xversend/examples/XverSetUp.Txt" "$setup/"
  echo "observation 001" >"$XVER_DRIVE_C/Data/obs_001.txt"
  local path='C:\Data\obs_001.txt'

  "$bin/xverctl" serve --once >"$work/peer.out" &
  peer=$!
  for _ in $(seq 500); do
    "$bin/xverctl" show | grep -q '^MM_XMITERSTATUS *"READY"' && break
    sleep 0.02
  done
  "$bin/xverctl" show | grep -q '^MM_XMITERSTATUS *"READY"' || fail "$name: the peer never reported READY"

  local status=0
  strace -f -qq -e trace=open,openat -o "$work/trace" "$bin/xversend" "$path" \
    2>"$work/stderr" || status=$?
  [ "$status" = 1 ] || fail "$name: xversend exit status $status, 1 expected"
  [ ! -s "$work/stderr" ] || fail "$name: xversend wrote: $(cat "$work/stderr")"
  ! grep -E '"[^"]*(\.so(\.[0-9]+)*|/nsswitch\.conf|/gconv[^"]*)"' "$work/trace" ||
    fail "$name: xversend opened the files above"
  wait "$peer" || fail "$name: the peer failed"
  peer=
  [ "$(cat "$work/peer.out")" = "$path"$'\t'"file exists" ] ||
    fail "$name: the peer printed '$(cat "$work/peer.out")'"
  echo "xversend $path: exit status 1; the peer took: $(cat "$work/peer.out")"
  "$bin/xverctl" remove
}

dpkg-deb -x "$deb" "$work/deb"
handoff "the Debian package" "$work/deb/usr"

cmake --install build/default --prefix "$work/prefix" >/dev/null
handoff "cmake --install" "$work/prefix"

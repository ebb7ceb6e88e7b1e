#!/usr/bin/env bash
# The release as installed: the four Debian packages of scripts/package.sh
# unpacked into a throwaway root (dpkg -x, nothing installed system-wide),
# and the native build installed into an empty prefix (cmake --install).
#   - With the programs of each, one real hand-off: the installed example
#     setup file as the setup file (accepted: nothing on standard error),
#     `xverctl serve --once` as the peer, `xversend` with a real file, which
#     opens no shared library, NSS or character-set module on the way.
#   - The example transceivers of libxver-dev and python3-xver, built with
#     pkg-config (and run on the unpacked libxver1) or run on the unpacked
#     module, beside the unpacked xversend: 40 paths one after another, all
#     taken in order; 30 senders at once, every path handed over taken once;
#     the transceiver killed while READY, holding the objects alone, and the
#     next path refused. A static build (pkg-config --static) and a CMake
#     consumer (find_package(xver)) each do one hand-off, and the Python
#     module submits a path to the unpacked `xverctl serve`.
# Runs in a private /dev/shm, so it never meets a running suite or other tests.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --private-shm ]; then
  bash scripts/install_deps.sh strace pkgconf python3 gcc cmake ninja-build
  as_root=()
  [ "$(id -u)" = 0 ] || as_root=(--map-root-user)
  exec unshare "${as_root[@]}" --mount --propagation private \
    sh -c 'mount -t tmpfs tmpfs /dev/shm && exec bash "$0" --private-shm' "$0"
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)
arch=$(dpkg --print-architecture)
libdir=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
work=$(mktemp -d)
peer=
trap '[ -z "$peer" ] || kill -9 "$peer" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
# step TEXT: a heading, with the seconds since the start.
start=${EPOCHREALTIME/./}
step() {
  local tenths=$(((${EPOCHREALTIME/./} - start) / 100000))
  echo "== $* (at $((tenths / 10)).$((tenths % 10)) s)"
}

# drive ROOT: a drive C: folder for XVER_DRIVE_C with ROOT's example setup
# file in place and a file C:\Data\obs_001.txt.
drive() {
  XVER_DRIVE_C=$(mktemp -d -p "$work")
  export XVER_DRIVE_C
  local setup="$XVER_DRIVE_C/Program Files/KESTRAVIA/Administration/Xver"
  mkdir -p "$setup" "$XVER_DRIVE_C/Data"
  cp "$1/share/doc/xversend/examples/XverSetUp.Txt" "$setup/"
  echo "observation 001" >"$XVER_DRIVE_C/Data/obs_001.txt"
}

# wait_ready: until MM_XMITERSTATUS says READY (xverctl of $bin).
wait_ready() {
  for _ in $(seq 500); do
    "$bin/xverctl" show | grep -q '^MM_XMITERSTATUS *"READY"' && return
    sleep 0.02
  done
  fail "$1: the peer never reported READY"
}

# start_peer NAME COMMAND...: COMMAND in the background as the peer, its
# output in $work/peer.out, until it reports READY.
start_peer() {
  local name=$1
  shift
  "$@" >"$work/peer.out" &
  peer=$!
  wait_ready "$name"
}

# stop_peer NAME: stops the peer with SIGTERM; it takes what waits and ends
# with exit status 0.
stop_peer() {
  kill -TERM "$peer"
  wait "$peer" || fail "$1: the peer ended with exit status $?"
  peer=
}

# send PATH [STDERR]: xversend of $bin with PATH; its exit status in
# $status, its standard error in STDERR (default $work/stderr).
send() {
  status=0
  "$bin/xversend" "$1" 2>"${2:-$work/stderr}" || status=$?
}

# handoff NAME ROOT: one hand-off with ROOT/bin/xversend and ROOT/bin/xverctl.
handoff() {
  local name=$1 bin=$2/bin
  step "hand-off with the programs installed by $name"
  [ "$("$bin/xverctl" --version)" = "xverctl $version" ] ||
    fail "$name: xverctl --version says '$("$bin/xverctl" --version)'"
  drive "$2"
  local path='C:\Data\obs_001.txt'

  "$bin/xverctl" serve --once >"$work/peer.out" &
  peer=$!
  wait_ready "$name"
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

# one_path NAME COMMAND...: COMMAND as the transceiver takes one path.
one_path() {
  local name=$1 path='C:\Data\one.txt'
  shift
  start_peer "$name" "$@"
  send "$path"
  [ "$status" = 1 ] || fail "$name: xversend exit status $status, 1 expected"
  stop_peer "$name"
  [ "$(cat "$work/peer.out")" = "$path" ] || fail "$name: the transceiver printed '$(cat "$work/peer.out")'"
  echo "$name: took $path"
}

# transceiver NAME COMMAND...: COMMAND as the transceiver beside xversend of
# $bin: 40 paths in a row, each handed over and all taken in order; 30
# senders at once, each path handed over (exit status 1) taken once and no
# other; killed (SIGKILL) while READY and holding the objects alone, so they
# end with it: the next path is refused.
transceiver() {
  local name=$1 i pids=() sent=()
  shift
  step "$name: 40 paths in a row"
  start_peer "$name" "$@"
  for i in $(seq -w 40); do
    sent+=("C:\\Data\\row_$i.txt")
    send "${sent[-1]}"
    [ "$status" = 1 ] && [ ! -s "$work/stderr" ] ||
      fail "$name: xversend ${sent[-1]}: exit status $status, $(cat "$work/stderr")"
  done
  stop_peer "$name"
  [ "$(cat "$work/peer.out")" = "$(printf '%s\n' "${sent[@]}")" ] ||
    fail "$name: the transceiver took $(tr '\n' ' ' <"$work/peer.out")"

  step "$name: 30 senders at once"
  start_peer "$name" "$@"
  mkdir -p "$work/burst"
  for i in $(seq -w 30); do
    (send "C:\\Data\\burst_$i.txt" /dev/null; echo "$status" >"$work/burst/$i") &
    pids+=($!)
  done
  wait "${pids[@]}"
  stop_peer "$name"
  sent=()
  for i in $(seq -w 30); do
    case $(cat "$work/burst/$i") in
      1) sent+=("C:\\Data\\burst_$i.txt") ;;
      0) ;;
      *) fail "$name: xversend burst_$i: exit status $(cat "$work/burst/$i")" ;;
    esac
  done
  [ "$(sort "$work/peer.out")" = "$(printf '%s\n' "${sent[@]}" | sort)" ] ||
    fail "$name: handed over $(echo "${sent[@]}"), taken $(tr '\n' ' ' <"$work/peer.out")"
  echo "$name: ${#sent[@]} of 30 handed over, each taken once"
  rm -r "$work/burst"

  step "$name: killed while READY"
  start_peer "$name" "$@"
  kill -KILL "$peer"
  wait "$peer" 2>/dev/null || true
  peer=
  send 'C:\Data\after_kill.txt'
  [ "$status" = 0 ] || fail "$name: a path after the transceiver died: exit status $status, 0 expected"
  echo "$name: the path after it died refused"
  "$bin/xverctl" remove
}

step "unpacking the Debian packages"
root=$work/root
for package in xversend libxver1 libxver-dev; do
  dpkg-deb -x "build/packages/${package}_${version}_$arch.deb" "$root"
done
dpkg-deb -x "build/packages/python3-xver_${version}_all.deb" "$root"
handoff "the Debian package" "$root/usr"

cmake --install build/default --prefix "$work/prefix" >/dev/null
handoff "cmake --install" "$work/prefix"

# The library's users, with the unpacked programs as the suite.
bin=$root/usr/bin
drive "$root/usr"
export LD_LIBRARY_PATH=$root/$libdir
examples=$root/usr/share/doc

step "the C example, built with pkg-config"
export PKG_CONFIG_PATH=$root/$libdir/pkgconfig
cc -o "$work/transceiver" "$examples/libxver-dev/examples/transceiver.c" $(pkg-config --cflags --libs xver)
[[ $(ldd "$work/transceiver") == *"libxver.so.1 => $root/$libdir/libxver.so.1 "* ]] ||
  fail "the C example does not load the unpacked libxver.so.1"
transceiver "the C example" "$work/transceiver"

step "the C example, linked statically with pkg-config --static"
cc -static -o "$work/transceiver-static" "$examples/libxver-dev/examples/transceiver.c" \
  $(pkg-config --static --cflags --libs xver)
unset PKG_CONFIG_PATH
! readelf -dW "$work/transceiver-static" | grep -q '(NEEDED)' ||
  fail "the static C example needs shared libraries"
one_path "the static C example" env -u LD_LIBRARY_PATH "$work/transceiver-static"

step "the C example, built by CMake with find_package(xver)"
mkdir "$work/consumer"
cat >"$work/consumer/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.20)
project(consumer LANGUAGES C)
find_package(xver $version REQUIRED)
add_executable(transceiver "$examples/libxver-dev/examples/transceiver.c")
target_link_libraries(transceiver PRIVATE xver::xver)
EOF
cmake -S "$work/consumer" -B "$work/consumer/build" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build "$work/consumer/build" >/dev/null
one_path "the CMake consumer" "$work/consumer/build/transceiver"

step "the Python example"
export PYTHONPATH=$root/usr/lib/python3/dist-packages
[ "$(python3 -c 'import xver; print(xver.__file__, xver.version())')" = "$PYTHONPATH/xver.py $version" ] ||
  fail "python3 does not import the unpacked xver module"
transceiver "the Python example" python3 "$examples/python3-xver/examples/transceiver.py"

step "Suite.submit into xverctl serve"
path='C:\Data\obs_001.txt'
start_peer "xverctl serve" "$bin/xverctl" serve
result=$(python3 -c 'import sys, xver
with xver.Suite() as suite:
    print(suite.submit(sys.argv[1]))' "$path")
stop_peer "xverctl serve"
[ "$result" = "(True, '')" ] || fail "Suite.submit gave $result"
grep -qxF "$path"$'\t'"file exists" "$work/peer.out" || fail "xverctl serve printed $(cat "$work/peer.out")"
echo "Suite.submit $path: $result; xverctl serve took it"
"$bin/xverctl" remove
step "done"

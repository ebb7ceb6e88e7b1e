#!/bin/sh
# Runs Windows programs under Wine in a private prefix.
#
#   wine-run.sh PREFIX PROGRAM.exe [ARG...]   run one program
#   wine-run.sh PREFIX --start                prefix made, server up for good
#   wine-run.sh PREFIX --stop                 server and its processes ended
#
# XVER_WINE names the Wine loader (default /usr/lib/wine/wine64, else wine64
# or wine on PATH).
set -eu
[ $# -ge 2 ] || { echo "usage: $0 PREFIX PROGRAM [ARG...] | --start | --stop" >&2; exit 2; }
prefix=$1
shift

wine=${XVER_WINE:-}
if [ -z "$wine" ]; then
  if [ -x /usr/lib/wine/wine64 ]; then
    wine=/usr/lib/wine/wine64
  else
    wine=$(command -v wine64 || command -v wine || true)
  fi
fi
[ -n "$wine" ] || { echo "wine-run.sh: Wine not found" >&2; exit 2; }
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo wineserver)

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No prompts to install Mono or Gecko; no debugger when a program crashes
# (a test may crash a child on purpose).
export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe=d"

# The first Wine process of a server starts Wine's own background processes,
# which keep that process's standard output and error open as long as the
# server runs: under ctest, the pipe ctest reads would never end. So the
# server and those processes are started here, apart from any test, with
# their output going nowhere, and kept SECONDS after the last program ends.
# Several tests may arrive at once: one does it, the others wait. What is
# started here must not inherit the lock (fd 9), or it would hold it for good.
start_server() {
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      "$wine" wineboot --init </dev/null >/dev/null 2>&1 9>&- || true
      # The server writes the registry out when it ends; it is not a
      # persistent one either.
      "$wineserver" -w </dev/null >/dev/null 2>&1 9>&- || true
      [ -f "$prefix/system.reg" ] || { echo "wine-run.sh: could not create $prefix" >&2; exit 2; }
    fi
    # Exit status 0: a new server (2: one is running already).
    if "$wineserver" "-p$1" </dev/null >/dev/null 2>&1 9>&-; then
      "$wine" wineboot </dev/null >/dev/null 2>&1 9>&- || true
    fi
  ) 9>"$prefix.lock"
}

case $1 in
  --start)
    start_server ""
    exit 0
    ;;
  --stop)
    "$wineserver" -k </dev/null >/dev/null 2>&1 || true
    exit 0
    ;;
esac

start_server 30
exec "$wine" "$@"

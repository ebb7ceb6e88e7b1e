#!/usr/bin/env bash
# Makes DIR a drive C: holding the example transceiver setup file (CR LF line
# ends, as written on Windows), for XVER_DRIVE_C=DIR.
set -euo pipefail
setup="$1/Program Files/KESTRAVIA/Administration/Xver"
mkdir -p "$setup"
cp "$(dirname "$0")/../examples/XverSetUp.Txt" "$setup/XverSetUp.Txt"

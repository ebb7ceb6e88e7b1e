#!/usr/bin/env bash
# Builds xversend and hands one request over, with a valid setup file in a
# temporary drive C:.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh default
drive=$(mktemp -d)
trap 'rm -rf "$drive"' EXIT
setup="$drive/Program Files/KESTRAVIA/Administration/Xver"
mkdir -p "$setup"
printf '%s\n' 'Transceiver Setup File  ' 'demo' \
  'Automatic Binary Transmission Enabled = Yes' 'X.25 address = 123;' \
  'Coast Earth Station Address = 002;' 'Com Port Number = 1;' >"$setup/XverSetUp.Txt"
status=0
XVER_DRIVE_C=$drive build/default/xversend hello || status=$?
echo "xversend hello: exit status $status (1: handed over)"

#!/usr/bin/env bash
# Makes DIR a drive C: holding a valid transceiver setup file (CR LF line
# ends, as written on Windows), for XVER_DRIVE_C=DIR.
set -euo pipefail
setup="$1/Program Files/KESTRAVIA/Administration/Xver"
mkdir -p "$setup"
printf '%s\r\n' 'Transceiver Setup File  ' 'made by scripts/make_drive_c.sh' \
  'Automatic Binary Transmission Enabled = Yes' 'X.25 address = 123;' \
  'Coast Earth Station Address = 002;' 'Com Port Number = 1;' >"$setup/XverSetUp.Txt"

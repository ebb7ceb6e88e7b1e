#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are missing.
# Needs root and apt-get; otherwise it says what is missing and fails.
set -euo pipefail
missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0
if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null; then
  echo "missing packages: ${missing[*]} (install them, or run as root on Debian)" >&2
  exit 1
fi
# Other users of the machine may be installing too: wait for their lock.
apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
  --no-install-recommends "${missing[@]}" >/dev/null

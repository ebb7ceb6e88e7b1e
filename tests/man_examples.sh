#!/usr/bin/env bash
# Runs each EXAMPLES block of the man pages as written, RUNS times, and
# checks that it prints what the page shows, every time.
#
#   man_examples.sh BIN_DIR [RUNS] PAGE.in...
#
# BIN_DIR holds xversend and xverctl. As root each run gets a /dev/shm of its
# own; otherwise the runs use the account's objects (the caller locks them).
set -euo pipefail
bin=$(cd "$1" && pwd)
runs=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A valid setup file, so that no setup message interleaves.
export XVER_DRIVE_C=$work/drive_c
setup="$XVER_DRIVE_C/Program Files/KESTRAVIA/Administration/Xver"
mkdir -p "$setup"
cp "$(dirname "$0")/../examples/XverSetUp.Txt" "$setup/"
export PATH="$bin:$PATH"

private=()
if [ "$(id -u)" = 0 ] && command -v unshare >/dev/null; then
  private=(unshare --mount --propagation private)
fi

# The blocks between .EX and .EE under .SH EXAMPLES, the roff escapes read
# back; one file per block.
split_blocks() {
  awk -v out="$work/block" '
    /^\.SH/ { examples = ($2 == "EXAMPLES") }
    examples && /^\.EX/ { n++; inside = 1; next }
    examples && /^\.EE/ { inside = 0; next }
    inside { print > (out n) }' "$1"
  sed -i -e 's/\\e/\\/g' -e 's/\\-/-/g' -e "s/\\\\(aq/'/g" -e 's/\\(dq/"/g' \
    -e 's/\\&//g' "$work"/block*
}

failures=0
for page in "$@"; do
  rm -f "$work"/block*
  split_blocks "$page"
  for block in "$work"/block*; do
    sed -n 's/^\$ //p' "$block" >"$work/commands"
    grep -v '^\$ ' "$block" >"$work/expected" || true
    name="$(basename "$page" .in) example ${block##*block}"
    ok=1
    for run in $(seq "$runs"); do
      rm -rf "$work/cwd" && mkdir "$work/cwd"
      # Jobs left running are ended with the run.
      (cd "$work/cwd" && "${private[@]}" bash -c '
        [ -z "$1" ] || mount -t tmpfs tmpfs /dev/shm
        source "$2" 2>&1
        jobs -p | xargs -r kill 2>/dev/null; wait' bash "${private:+private}" \
        "$work/commands") >"$work/actual" 2>&1 || true
      if ! cmp -s "$work/expected" "$work/actual"; then
        echo "$name, run $run: not what the page shows" >&2
        diff "$work/expected" "$work/actual" >&2 || true
        failures=$((failures + 1))
        ok=0
        break
      fi
    done
    ((ok == 0)) || echo "$name: $runs runs as the page shows"
  done
done
((failures == 0))

# Sourced by scripts that start the suite's programs (the demo, the
# benchmark): they never touch the objects of a suite that runs on this
# machine. As root the calling script runs again at once in a /dev/shm of its
# own; otherwise refuse_if_suite_runs stops it while another process of this
# account holds the suite's objects.
if [ "$(id -u)" = 0 ] && [ -z "${XVER_OWN_SHM:-}" ] && command -v unshare >/dev/null; then
  exec unshare --mount --propagation private env XVER_OWN_SHM=1 \
    bash -c 'mount -t tmpfs tmpfs /dev/shm && exec bash "$0" "$@"' "$0" "$@"
fi

# Stops the calling script, with a line, when some process holds the suite's
# objects. $1: the xverctl to look with.
refuse_if_suite_runs() {
  [ -n "${XVER_OWN_SHM:-}" ] && return 0
  if "$1" show 2>/dev/null | grep -qv 'absent: no process holds it'; then
    echo "$(basename "$0"): another process of this account holds the suite's" \
      "objects (xverctl show); not run, so as not to touch them. As root it runs" \
      "in a /dev/shm of its own." >&2
    exit 1
  fi
}

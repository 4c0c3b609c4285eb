#!/usr/bin/env bash
# Runs a command with a /dev/shm of its own, so that the tests which load the library
# neither meet nor disturb a host that holds the machine's instance marker (a running
# `vantrel gdbserver`, a front end, another test run).
#   scripts/private-shm.sh COMMAND [ARG...]
# Where the machine grants a private mount namespace (root, util-linux's unshare), the
# command runs inside one with an empty tmpfs on /dev/shm, made as the real one is: owned
# by root, sticky, writable by all. Elsewhere it runs as it is, after one line that names
# the process holding the marker, if any, since the instance tests will then fail.
set -euo pipefail

marker=/dev/shm/jtag_dll_share_mem

if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null &&
   unshare --mount --propagation private true 2>/dev/null; then
  exec unshare --mount --propagation private /bin/sh -c \
    'mount -t tmpfs -o mode=1777,size=512m vantrel-shm /dev/shm && exec "$@"' sh "$@"
fi

if [ -e "$marker" ]; then
  holders=""
  for fd in /proc/[0-9]*/fd/*; do
    [ "$(readlink "$fd" 2>/dev/null)" = "$marker" ] || continue
    pid=${fd#/proc/}; pid=${pid%%/*}
    holders="$holders $pid ($(cat "/proc/$pid/comm" 2>/dev/null))"
  done
  if [ -n "$holders" ]; then
    echo "note: no private /dev/shm here, and$holders hold(s) the instance marker $marker:" \
         "the tests that load the library will find it taken" >&2
  fi
fi
exec "$@"

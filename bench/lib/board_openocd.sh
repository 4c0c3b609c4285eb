# Sourced by the comparison scripts: a scratch directory cleaned up at exit, a
# vantrel-board in the background and OpenOCD runs against it, each counted by the board.
# The caller sets build (the build directory) before sourcing.
work=$(mktemp -d)
pid=
cleanup() {
  stop_board
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# start_board ARGS...: vantrel-board with those options on a free port; sets pid and port.
start_board() {
  : >"$work/board.out"
  "$build/sim/board/vantrel-board" --listen 0 --free-run 0 "$@" >"$work/board.out" 2>"$work/board.err" &
  pid=$!
  port=
  for _ in $(seq 400); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/board.out")
    [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || { echo "vantrel-board did not start" >&2; cat "$work/board.err" >&2; exit 1; }
}

stop_board() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  pid=
}

# run_openocd SCRIPT OP LIMIT: OpenOCD runs SCRIPT with PORT, OP and IMAGE
# ($work/image.bin) set, killed after LIMIT seconds (it heeds a terminating signal only
# between commands); the board's count of that client ("PORT_ACCESSES TCK") goes into
# $work/openocd-OP.count.
run_openocd() {
  before=$(grep -c '^client done' "$work/board.out" || true)
  timeout -k 5 "$3" openocd -c "set PORT $port; set OP $2; set IMAGE {$work/image.bin}" \
    -f "$1" >"$work/openocd-$2.log" 2>&1 ||
    { echo "openocd ($2) failed" >&2; cat "$work/openocd-$2.log" >&2; exit 1; }
  for _ in $(seq 100); do
    [ "$(grep -c '^client done' "$work/board.out" || true)" -gt "$before" ] && break
    sleep 0.05
  done
  sed -n 's/^client done: \([0-9]*\) port accesses, \([0-9]*\) TCK$/\1 \2/p' "$work/board.out" | tail -1 \
    >"$work/openocd-$2.count"
  [ -s "$work/openocd-$2.count" ] || { echo "vantrel-board did not count openocd ($2)" >&2; exit 1; }
}

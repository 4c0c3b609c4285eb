#!/bin/sh
# Port accesses and TCK per 32-bit word of a 64 KiB read, write and download with verify
# on the simulated board: the library in its exact and fast modes (transfers_bench) and
# OpenOCD over remote_bitbang (counted by vantrel-board; its script gives it a work area,
# and its download is measured with the board's default core and with a fast one), side
# by side, with the KiB/s each allows when a port access takes 1 us. Writes the table as text and, with a second
# argument, as an SVG plot.
# usage: bench/wire_comparison.sh BUILD_DIR [PLOT.svg]
set -eu
build=$1 plot=${2:-}
here=$(dirname "$0")
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

"$build/bench/transfers_bench" --benchmark_min_time=0.05 --benchmark_format=csv >"$work/library.csv" 2>/dev/null

head -c 65536 /dev/urandom >"$work/image.bin"

# measure CYCLES_PER_TCK SUFFIX OP...: OpenOCD's runs against a board whose running core
# executes that many instructions per TCK edge; each count is recorded as OP plus SUFFIX.
measure() {
  cycles=$1 suffix=$2
  shift 2
  : >"$work/board.out"
  "$build/sim/board/vantrel-board" --listen 0 --free-run 0 --cycles-per-tck "$cycles" >"$work/board.out" \
    2>"$work/board.err" &
  pid=$!
  port=
  for _ in $(seq 100); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/board.out")
    [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || { echo "vantrel-board did not start" >&2; cat "$work/board.err" >&2; exit 1; }
  for op in "$@"; do
    before=$(grep -c '^client done' "$work/board.out" || true)
    # OpenOCD heeds a terminating signal only between commands: killed when it does not.
    timeout -k 5 120 openocd -c "set PORT $port; set OP $op; set IMAGE {$work/image.bin}" \
      -f "$here/openocd_transfer.tcl" >"$work/openocd-$op.log" 2>&1 ||
      { echo "openocd ($op) failed" >&2; cat "$work/openocd-$op.log" >&2; exit 1; }
    for _ in $(seq 100); do
      [ "$(grep -c '^client done' "$work/board.out" || true)" -gt "$before" ] && break
      sleep 0.05
    done
    sed -n 's/^client done: \([0-9]*\) port accesses, \([0-9]*\) TCK$/'"$op$suffix"' \1 \2/p' "$work/board.out" |
      tail -1 >>"$work/openocd.txt"
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}

# The board's default core (4 instructions per TCK) and a fast one: OpenOCD verifies a
# download by a checksum that the core computes, and with the slow core it spends most of
# its accesses polling for the end of that run.
measure 4 "" none read write write_loop download resume_halt run_to_break read_word
measure 1000 @fast none download download_loop

python3 "$here/wire_table.py" "$work/library.csv" "$work/openocd.txt" "$plot"
echo
echo "OpenOCD's interactive operations (port accesses, the attach subtracted but for connect):"
awk '$1 == "none" { base = $2; print "connect (init + halt)", $2 }
     $1 == "resume_halt" || $1 == "run_to_break" || $1 == "read_word" { print $1, $2 - base }' "$work/openocd.txt"

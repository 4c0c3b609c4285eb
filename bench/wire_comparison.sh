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
. "$here/lib/board_openocd.sh"

"$build/bench/transfers_bench" --benchmark_min_time=0.05 --benchmark_format=csv >"$work/library.csv" 2>/dev/null

head -c 65536 /dev/urandom >"$work/image.bin"

# measure CYCLES_PER_TCK SUFFIX OP...: OpenOCD's runs against a board whose running core
# executes that many instructions per TCK edge; each count is recorded as OP plus SUFFIX.
measure() {
  cycles=$1 suffix=$2
  shift 2
  start_board --cycles-per-tck "$cycles"
  for op in "$@"; do
    run_openocd "$here/openocd_transfer.tcl" "$op" 120
    echo "$op$suffix $(cat "$work/openocd-$op.count")" >>"$work/openocd.txt"
  done
  stop_board
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

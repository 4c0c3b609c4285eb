#!/bin/sh
# Port accesses per GDB stepi and per next on the example firmware, counted by the
# simulated board: gdb-multiarch through `vantrel gdbserver` in the exact and fast (its default) modes
# and, where OpenOCD is installed, through OpenOCD's GDB server over remote_bitbang to
# vantrel-board. The same commands in each: load, break in the loop, finish, then NEXTS
# nexts and STEPIS stepis; the costs are the differences of the board's counts.
# usage: bench/gdb_step_comparison.sh BUILD_DIR [STEPIS [NEXTS]]
set -eu
build=$1 stepis=${2:-20} nexts=${3:-6}
here=$(cd "$(dirname "$0")" && pwd)
elf=$build/examples/example_demo.firmware/example_demo.elf
work=$(mktemp -d)
pids=
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# gdb commands: the common start, then $1 nexts and $2 stepis, with `monitor board`
# (the count so far) after each phase when $3 is "counted"; $4, when given, declares
# the board's memory map first (RAM at 0, ROM at 0x80000).
commands() {
  printf 'set pagination off\nset confirm off\n'
  [ "${4:-}" = mapped ] && printf 'monitor region add 0 0x40000 rw\nmonitor region add 0x80000 0x10000 ro\n'
  printf 'load\nbreak record_result\ncontinue\nfinish\n'
  [ "$3" = counted ] && printf 'monitor board\n'
  i=0; while [ $i -lt "$1" ]; do printf 'next\n'; i=$((i + 1)); done
  [ "$3" = counted ] && printf 'monitor board\n'
  i=0; while [ $i -lt "$2" ]; do printf 'stepi\n'; i=$((i + 1)); done
  [ "$3" = counted ] && printf 'monitor board\n'
  return 0
}

run_gdb() {  # TARGET COMMANDS-FILE LOG
  timeout -k 5 300 gdb-multiarch -nx -q -batch "$elf" -ex "target extended-remote $1" -x "$2" >"$3" 2>&1 ||
    { echo "gdb-multiarch failed against $1" >&2; cat "$3" >&2; exit 1; }
}

# One line: the server's name, then accesses per next and per stepi.
report() { awk -v name="$1" -v n="$2" -v s="$3" -v a="$4" -v b="$5" -v c="$6" \
  'BEGIN { printf "%-30s %10.0f %10.0f\n", name, (c - b) / s, (b - a) / n }'; }

vantrel_row() {  # NAME MAPPED|UNMAPPED OPTIONS...
  name=$1 map=$2; shift 2
  port=$(free_port)
  "$build/bin/vantrel" "$@" gdbserver --listen "$port" 2>"$work/server.err" &
  pid=$!; pids="$pids $pid"
  for _ in $(seq 100); do grep -q 'listening on' "$work/server.err" && break; sleep 0.05; done
  commands "$nexts" "$stepis" counted "$map" >"$work/vantrel.gdb"
  run_gdb "127.0.0.1:$port" "$work/vantrel.gdb" "$work/vantrel.log"
  kill "$pid"; wait "$pid" 2>/dev/null || true
  set -- $(sed -n 's/^port accesses \([0-9]*\)$/\1/p' "$work/vantrel.log")
  [ $# -eq 3 ] || { echo "no board counts from $name" >&2; cat "$work/vantrel.log" >&2; exit 1; }
  report "$name" "$nexts" "$stepis" "$1" "$2" "$3" >>"$work/table"
}

openocd_row() {
  : >"$work/board.out"  # there before the board's shell makes it, for the reads below
  "$build/sim/board/vantrel-board" --listen 0 >"$work/board.out" 2>"$work/board.err" &
  pid=$!; pids="$pids $pid"
  bport=
  for _ in $(seq 100); do
    bport=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/board.out")
    [ -n "$bport" ] && break; sleep 0.05
  done
  [ -n "$bport" ] || { echo "vantrel-board did not start" >&2; exit 1; }
  # OpenOCD's board counts come once a client is done: three sessions, each one phase longer.
  for phase in "0 0" "$nexts 0" "$nexts $stepis"; do
    before=$(grep -c '^client done' "$work/board.out" || true)
    set -- $phase
    commands "$1" "$2" plain >"$work/openocd.gdb"
    run_gdb "| openocd -c 'set PORT $bport' -f $here/openocd_board.tcl -c 'gdb_port pipe' \
      -c 'telnet_port disabled' -c 'tcl_port disabled' -c 'log_output $work/openocd.log'" "$work/openocd.gdb" "$work/openocd-gdb.log"
    for _ in $(seq 200); do
      [ "$(grep -c '^client done' "$work/board.out" || true)" -gt "$before" ] && break; sleep 0.05
    done
  done
  set -- $(sed -n 's/^client done: \([0-9]*\) port accesses.*$/\1/p' "$work/board.out")
  [ $# -eq 3 ] || { echo "no board counts from OpenOCD" >&2; cat "$work/board.out" >&2; exit 1; }
  report "OpenOCD $(openocd --version 2>&1 | sed -n 's/^Open On-Chip Debugger \([0-9.]*\).*/\1/p')" \
    "$nexts" "$stepis" "$1" "$2" "$3" >>"$work/table"
}

vantrel_row "vantrel --exact gdbserver" unmapped --exact
vantrel_row "vantrel --exact gdbserver, map" mapped --exact
vantrel_row "vantrel gdbserver (fast)" unmapped
vantrel_row "vantrel gdbserver (fast), map" mapped
if command -v openocd >/dev/null 2>&1; then openocd_row; else echo "(OpenOCD is not installed: its row is left out)" >&2; fi
printf '%-30s %10s %10s\n' "port accesses per" stepi next
cat "$work/table"

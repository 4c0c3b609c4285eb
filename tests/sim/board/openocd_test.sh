#!/bin/sh
# Starts vantrel-board on a free port of 127.0.0.1, runs OpenOCD's session script
# against it, and always stops the board. Every wait is bounded, so a loaded machine
# gives a slow pass or a clear failure, never a hang: OpenOCD takes a terminating signal
# only once its running command has ended, so it is killed when it lets one go unheeded.
# usage: openocd_test.sh BOARD ELF NM SCRIPT [little|big]
set -eu
openocd_seconds=60
board=$1 elf=$2 nm=$3 script=$4 endian=${5:-little}
board_options=
[ "$endian" = big ] && board_options=--big-endian
. "$(dirname "$0")/board_process.sh"
start_board "$board" $board_options

symbol() { "$nm" "$elf" | awk -v name="$1" '$3 == name { print "0x" $1 }'; }
hw=$(symbol hw_break_here) sw=$(symbol sw_break_here) result=$(symbol result) thumb=$(symbol thumb_sum)
[ -n "$hw" ] && [ -n "$sw" ] && [ -n "$result" ] && [ -n "$thumb" ] || { echo "symbols missing in $elf" >&2; exit 1; }

status=0
timeout -k 5 "$openocd_seconds" openocd -c "set PORT $port; set ELF {$elf}; set HW $hw; set SW $sw; set RESULT $result; set THUMB $thumb; set ENDIAN $endian" \
  -f "$script" || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "openocd did not finish within $openocd_seconds s and was stopped (status $status)" >&2
  cat "$work/board.err" >&2
elif [ "$status" -ne 0 ]; then
  echo "openocd failed with status $status" >&2
  cat "$work/board.err" >&2
fi
exit "$status"

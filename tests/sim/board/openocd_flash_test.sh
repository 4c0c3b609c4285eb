#!/bin/sh
# Starts vantrel-board with a 256K flash chip at 0x1000000 and RAM at 0, and runs
# OpenOCD's CFI driver session against it.
# usage: openocd_flash_test.sh BOARD SCRIPT amd16|intel16 WORKAREA(0|1) [little|big]
set -eu
board=$1 script=$2 kind=$3 workarea=$4 endian=${5:-little}
board_options=
[ "$endian" = big ] && board_options=--big-endian
. "$(dirname "$0")/board_process.sh"
start_board "$board" --ram 0:256K --flash "0x1000000:256K:$kind" $board_options

# From mid-block across the small boot blocks, ending mid-block.
head -c $((0x4322)) /dev/urandom >"$work/image.bin"
sectors=7
[ "$kind" = intel16 ] && sectors=11

status=0
timeout -k 5 100 openocd -c "set PORT $port; set ENDIAN $endian; set KIND $kind; set WORKAREA $workarea; \
  set IMAGE {$work/image.bin}; set AT 0x1005F00; set FLASH 0x1000000; set SECTORS $sectors" -f "$script" || status=$?
# The board's count of what the session cost (port accesses, TCK), once the client has gone.
for _ in $(seq 40); do
  grep -q '^client done' "$work/board.out" && break
  sleep 0.05
done
grep '^client done' "$work/board.out" || { echo "the board printed no counters" >&2; status=1; }
if [ "$status" -ne 0 ]; then
  echo "openocd failed with status $status" >&2
  cat "$work/board.err" >&2
fi
exit "$status"

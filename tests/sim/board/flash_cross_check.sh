#!/bin/sh
# The board's flash chip written by one debugger and read by the other, through the
# same board over remote_bitbang: an image OpenOCD's CFI driver wrote reads back through
# `vantrel read`, and an image `vantrel flash write` wrote verifies through OpenOCD.
# usage: flash_cross_check.sh BOARD VANTREL SCRIPT amd16|intel16
set -eu
board=$1 vantrel=$2 script=$3 kind=$4
. "$(dirname "$0")/board_process.sh"
start_board "$board" --ram 0:256K --flash "0x1000000:256K:$kind"

openocd_run() {  # OP IMAGE AT
  timeout -k 5 100 openocd -c "set PORT $port; set ENDIAN little; set OP $1; set IMAGE {$2}; set AT $3" -f "$script" \
    >"$work/openocd.log" 2>&1 || { echo "OpenOCD $1 failed" >&2; cat "$work/openocd.log" >&2; exit 1; }
}
vantrel_run() {  # COMMANDS
  timeout -k 5 100 "$vantrel" --remote-bitbang "127.0.0.1:$port" "$1" >"$work/vantrel.log" 2>&1 ||
    { echo "vantrel failed: $1" >&2; cat "$work/vantrel.log" >&2; exit 1; }
}

# Both images start and end mid-sector.
head -c 9000 /dev/urandom >"$work/by_openocd.bin"
head -c 7000 /dev/urandom >"$work/by_vantrel.bin"

openocd_run write "$work/by_openocd.bin" 0x1001234
vantrel_run "open; connect; read 0x1001234 9000 --out $work/read_back.bin"
cmp "$work/by_openocd.bin" "$work/read_back.bin"

vantrel_run "open; connect; region add 0 0x40000 rw; flash probe 0x1000000; \
  flash write $work/by_vantrel.bin --at 0x1020102"
openocd_run verify "$work/by_vantrel.bin" 0x1020102
# The first image is still there: the second one's sectors lie elsewhere.
openocd_run verify "$work/by_openocd.bin" 0x1001234
echo "cross-check passed"

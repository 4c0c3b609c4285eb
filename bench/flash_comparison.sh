#!/bin/sh
# Port accesses of a 64 KiB image into the simulated board's amd16 flash (erase,
# program, verify), side by side: the flash layer with a work area (flash_write_bench,
# beside a plain fast RAM write of the same image) and OpenOCD's CFI driver with a
# working area over remote_bitbang (counted by vantrel-board; attaching and probing,
# which OpenOCD does first, subtracted). Both boards run a core of 1000 instructions a
# TCK edge and nothing between accesses, so the counts are exact.
# usage: bench/flash_comparison.sh BUILD_DIR
set -eu
build=$1
here=$(dirname "$0")
. "$here/lib/board_openocd.sh"

"$build/bench/flash_write_bench" --benchmark_min_time=0.001 --benchmark_format=csv >"$work/ours.csv" 2>/dev/null

head -c 65536 /dev/urandom >"$work/image.bin"
start_board --cycles-per-tck 1000 --flash 0:1M:amd16 --ram 0x100000:256K
for op in none write; do
  run_openocd "$here/openocd_flash_write.tcl" "$op" 300
done

python3 - "$work/ours.csv" "$work/openocd-none.count" "$work/openocd-write.count" <<'PY'
import csv, sys
rows = {}
with open(sys.argv[1]) as f:
    lines = [l for l in f if l.startswith('name') or l.startswith('"BM_')]
for row in csv.DictReader(lines):
    rows[row['name'].strip('"')] = row
ram = float(rows['BM_PlainRamWrite']['port_accesses'])
flash = rows['BM_FlashWrite']
ours = float(flash['port_accesses'])
busy = float(flash['busy_ticks'])
busy_accesses = float(flash['busy_accesses'])
none = int(open(sys.argv[2]).read().split()[0])
openocd = int(open(sys.argv[3]).read().split()[0]) - none
print(f"{'64 KiB into amd16 flash':32} {'port accesses':>14} {'ratio':>8}")
print(f"{'plain fast RAM write (library)':32} {ram:14.0f} {'':>8}")
print(f"{'flash write (flash layer)':32} {ours:14.0f} {ours / ram:7.2f}x RAM")
print(f"{'OpenOCD CFI, working area':32} {openocd:14d} {ours / openocd:7.2f} ours/OpenOCD")
print()
print(f"{'chip busy (board ticks)':32} {busy:14.0f}")
print(f"{'host accesses while chip busy':32} {busy_accesses:14.0f}")
print(f"{'overhead beyond RAM write + busy':32} {ours - ram - busy_accesses:14.0f}")
print(f"flash write = {ram:.0f} RAM write + {busy_accesses:.0f} while busy + {ours - ram - busy_accesses:.0f} overhead")
print(f"(flash write - busy ticks) / RAM write: {(ours - busy) / ram:.2f}  (goal <= 1.25)")
PY

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
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

"$build/bench/flash_write_bench" --benchmark_min_time=0.001 --benchmark_format=csv >"$work/ours.csv" 2>/dev/null

head -c 65536 /dev/urandom >"$work/image.bin"
"$build/sim/board/vantrel-board" --listen 0 --free-run 0 --cycles-per-tck 1000 \
  --flash 0:1M:amd16 --ram 0x100000:256K >"$work/board.out" 2>"$work/board.err" &
pid=$!
port=
for _ in $(seq 400); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/board.out")
  [ -n "$port" ] && break
  sleep 0.05
done
[ -n "$port" ] || { echo "vantrel-board did not start" >&2; cat "$work/board.err" >&2; exit 1; }

for op in none write; do
  before=$(grep -c '^client done' "$work/board.out" || true)
  timeout -k 5 300 openocd -c "set PORT $port; set OP $op; set IMAGE {$work/image.bin}" \
    -f "$here/openocd_flash_write.tcl" >"$work/openocd-$op.log" 2>&1 ||
    { echo "openocd ($op) failed" >&2; cat "$work/openocd-$op.log" >&2; exit 1; }
  for _ in $(seq 100); do
    [ "$(grep -c '^client done' "$work/board.out" || true)" -gt "$before" ] && break
    sleep 0.05
  done
  sed -n 's/^client done: \([0-9]*\) port accesses.*$/\1/p' "$work/board.out" | tail -1 >"$work/openocd-$op.count"
done

python3 - "$work/ours.csv" "$work/openocd-none.count" "$work/openocd-write.count" <<'PY'
import csv, sys
rows = {}
with open(sys.argv[1]) as f:
    lines = [l for l in f if l.startswith('name') or l.startswith('"BM_')]
for row in csv.DictReader(lines):
    rows[row['name'].strip('"')] = row
ram = float(rows['BM_PlainRamWrite']['port_accesses'])
ours = float(rows['BM_FlashWrite']['port_accesses'])
none = int(open(sys.argv[2]).read().strip())
openocd = int(open(sys.argv[3]).read().strip()) - none
print(f"{'64 KiB into amd16 flash':32} {'port accesses':>14} {'ratio':>8}")
print(f"{'plain fast RAM write (library)':32} {ram:14.0f} {'':>8}")
print(f"{'flash write (flash layer)':32} {ours:14.0f} {ours / ram:7.2f}x RAM")
print(f"{'OpenOCD CFI, working area':32} {openocd:14d} {ours / openocd:7.2f} ours/OpenOCD")
PY

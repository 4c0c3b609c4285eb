#!/bin/sh
# Wall time of a 64 KiB read and a 64 KiB write over remote_bitbang to vantrel-board, the
# library (vantrel --fast, batched socket port) against OpenOCD on the same board, the
# same machine, in one run. Each tool's attach-and-halt run is timed alone and taken off
# its transfer runs; every figure is the best of ROUNDS interleaved rounds, so a busy
# machine slows both sides alike. Prints the times and OpenOCD's time over ours.
# usage: bench/remote_bitbang_wall.sh BUILD_DIR [ROUNDS]
set -eu
build=$1 rounds=${2:-5}
here=$(dirname "$0")
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

head -c 65536 /dev/urandom >"$work/image.bin"
"$build/sim/board/vantrel-board" --listen 0 --free-run 0 --load "$work/image.bin@0x10000" >"$work/board.out" 2>"$work/board.err" &
pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/board.out" 2>/dev/null || true)
  [ -n "$port" ] && break
  sleep 0.05
done
[ -n "$port" ] || { echo "vantrel-board did not start" >&2; cat "$work/board.err" >&2; exit 1; }

now_us() { echo $(($(date +%s%N) / 1000)); }

# Runs one tool once for an operation and prints the microseconds it took.
openocd_run() {
  start=$(now_us)
  timeout -k 5 120 openocd -c "set PORT $port; set OP $1; set IMAGE {$work/image.bin}" \
    -f "$here/openocd_transfer.tcl" >"$work/openocd.log" 2>&1 ||
    { echo "openocd ($1) failed" >&2; cat "$work/openocd.log" >&2; exit 1; }
  echo $(($(now_us) - start))
}
vantrel_run() {
  case $1 in
    none) transfer= ;;
    read) transfer="; read 0x10000 65536 --out $work/back.bin" ;;
    write) transfer="; write 0x10000 --file $work/image.bin" ;;
  esac
  start=$(now_us)
  timeout -k 5 120 "$build/bin/vantrel" --remote-bitbang "127.0.0.1:$port" --fast -q \
    "open; connect; region add 0x30000 0x4000 rw$transfer" >"$work/vantrel.log" 2>&1 ||
    { echo "vantrel ($1) failed" >&2; cat "$work/vantrel.log" >&2; exit 1; }
  echo $(($(now_us) - start))
}

best() { [ -z "$1" ] || [ "$2" -lt "$1" ] && echo "$2" || echo "$1"; }
for tool in openocd vantrel; do for op in none read write; do eval "${tool}_$op="; done; done
for _ in $(seq "$rounds"); do
  for op in none read write; do
    for tool in openocd vantrel; do
      took=$(${tool}_run "$op")
      eval "${tool}_$op=\$(best \"\$${tool}_$op\" $took)"
    done
  done
done
# Every write stores the same image the board started with: a read must return it.
cmp -s "$work/image.bin" "$work/back.bin" || { echo "vantrel read other bytes than the board holds" >&2; exit 1; }

ms() { awk -v us="$1" 'BEGIN { printf "%.0f ms", (us < 0 ? 0 : us) / 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b <= 0) b = 1; printf "%.1f", a / b }'; }
for op in read write; do
  eval "o=\$((openocd_$op - openocd_none)) v=\$((vantrel_$op - vantrel_none))"
  printf '64 KiB %-5s  OpenOCD %8s  Vantrel %8s  OpenOCD / Vantrel %s\n' "$op" "$(ms "$o")" "$(ms "$v")" "$(ratio "$o" "$v")"
done
printf 'attach and halt  OpenOCD %8s  Vantrel %8s\n' "$(ms "$openocd_none")" "$(ms "$vantrel_none")"

#!/bin/sh
# Wall time of one GDB stepi through `vantrel gdbserver` with the board behind a socket
# (remote_bitbang to vantrel-board), and, for comparison, with the simulated board in
# the server's own process. A session of 1 stepi and one of STEPS+1 are timed; their
# difference over STEPS is the time of a stepi. Best of ROUNDS. A stepi takes a few
# milliseconds and a session's attach about half a second: the default number of steps
# keeps their difference above the noise of a busy machine.
# usage: bench/gdb_stepi_wall.sh BUILD_DIR [STEPS] [ROUNDS]
set -eu
build=$1 steps=${2:-200} rounds=${3:-3}
elf="$build/examples/example_demo.firmware/example_demo.elf"
bin="$build/examples/example_demo.firmware/example_demo.bin"
work=$(mktemp -d)
pids=
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
wait_for() {  # FILE TEXT: up to 5 s
  for _ in $(seq 100); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.05; done
  echo "no '$2' in $1" >&2; cat "$1" >&2; exit 1
}

"$build/sim/board/vantrel-board" --listen 0 --load "$bin@0" >"$work/board.out" 2>&1 &
pids="$pids $!"
wait_for "$work/board.out" '^listening on'
board=$(sed -n 's/^listening on \(127\.0\.0\.1:[0-9]*\)$/\1/p' "$work/board.out")

now_us() { echo $(($(date +%s%N) / 1000)); }
session_us() {  # PORT STEPIS
  start=$(now_us)
  timeout -k 5 120 gdb-multiarch -nx -q -batch -ex "set confirm off" -ex "target extended-remote 127.0.0.1:$1" \
    -ex "stepi $2" -ex "info registers pc" -ex "kill" "$elf" >"$work/gdb.log" 2>&1 ||
    { echo "gdb failed" >&2; cat "$work/gdb.log" >&2; exit 1; }
  echo $(($(now_us) - start))
}

for attach in remote local; do
  port=$(free_port)
  if [ "$attach" = remote ]; then
    "$build/bin/vantrel" --fast --remote-bitbang "$board" gdbserver --listen "127.0.0.1:$port" >"$work/server.out" 2>&1 &
  else
    "$build/bin/vantrel" --fast gdbserver --listen "127.0.0.1:$port" >"$work/server.out" 2>&1 &
  fi
  server=$!
  pids="$pids $server"
  wait_for "$work/server.out" 'listening\|Listening\|127.0.0.1'
  one= many=
  for _ in $(seq "$rounds"); do
    t=$(session_us "$port" 1); [ -z "$one" ] || [ "$t" -lt "$one" ] && one=$t
    t=$(session_us "$port" $((steps + 1))); [ -z "$many" ] || [ "$t" -lt "$many" ] && many=$t
  done
  kill "$server"; wait "$server" 2>/dev/null || true
  awk -v a="$attach" -v d=$((many - one)) -v n="$steps" \
    'BEGIN { printf "stepi, board %s: %.1f ms\n", (a == "remote" ? "over remote_bitbang" : "in process"), d / n / 1000 }'
done

# Sourced by the OpenOCD test scripts: start_board BOARD [OPTIONS...] starts
# vantrel-board on a free port of 127.0.0.1 and sets $pid, $port and $work (a scratch
# directory); the board is stopped and $work removed when the script exits.
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

start_board() {
  # The files exist before the board starts: its shell makes them only once it runs, and
  # a read of a file not there yet would end this script.
  : >"$work/board.out"
  : >"$work/board.err"
  "$@" --listen 0 >"$work/board.out" 2>"$work/board.err" &
  pid=$!
  port=
  # 20 s in steps of 0.05 s: a loaded machine may be slow to start the board
  for _ in $(seq 400); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/board.out")
    [ -n "$port" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$port" ]; then
    echo "vantrel-board did not start:" >&2
    cat "$work/board.err" >&2
    exit 1
  fi
}

#!/usr/bin/env bash
# Builds what the demonstration needs (the library, the command-line host vantrel, the
# simulated board and the example firmware; not the tests) and runs the main job: a
# debugging session on the simulated board, driven by the command-line host through the
# library's exports; then the same firmware linked for the boot flash, written into the
# board's flash chip and run from there. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target Vantrel vantrel vantrel-board examples
echo
echo "== the main job: build/bin/vantrel -f build/examples/sessions/demo.vtl"
build/bin/vantrel -f build/examples/sessions/demo.vtl
echo
echo "== the firmware written into the boot flash and run from there:"
echo "   build/bin/vantrel --board-memory flash@0:1M,ram@0x100000:256K -f build/examples/sessions/flash.vtl"
exec build/bin/vantrel --board-memory flash@0:1M,ram@0x100000:256K -f build/examples/sessions/flash.vtl

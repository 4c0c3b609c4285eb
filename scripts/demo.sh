#!/usr/bin/env bash
# Builds what the demonstration needs (the command-line host vantrel with the simulated
# board built in, the library it loads, and the two firmware images the sessions load;
# not the tests, not the board's own program) and runs the main job: a
# debugging session on the simulated board, driven by the command-line host through the
# library's exports; then the same firmware linked for the boot flash, written into the
# board's flash chip and run from there. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# One goal for the programs (vantrel depends on the library), so the library's and the
# host's files compile side by side; the firmware is small.
cmake --build build -j"$jobs" --target vantrel example_demo example_demo_flash
echo
echo "== the main job: build/bin/vantrel -f build/examples/sessions/demo.vtl"
build/bin/vantrel -f build/examples/sessions/demo.vtl
echo
echo "== the firmware written into the boot flash and run from there:"
echo "   build/bin/vantrel --board-memory flash@0:1M,ram@0x100000:256K -f build/examples/sessions/flash.vtl"
exec build/bin/vantrel --board-memory flash@0:1M,ram@0x100000:256K -f build/examples/sessions/flash.vtl

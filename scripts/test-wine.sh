#!/usr/bin/env bash
# The Windows pass: Vantrel.dll, the simulated board, the end-to-end tests and the C
# front-end hosts cross-built for 32-bit Windows and run under wine through CTest.
#   scripts/test-wine.sh [BUILD_DIR]      (default build-wine)
# The wine prefix lives in the build directory: one prefix is one Windows machine, so
# the tests that take the instance marker run one at a time (their RESOURCE_LOCK).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-wine}
jobs=$(nproc)

# Some kernels run no 32-bit x86 program at all ("Exec format error"): wine32 cannot
# start there, so the pass says so and leaves the other passes to run.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "skipped: this machine cannot execute 32-bit x86 programs, so the Windows tests cannot run under wine32"
  exit 0
fi

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTREL_WERROR=ON -DVANTREL_WINE_TESTS=ON -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
  -DVANTREL_BUILD_BENCHMARKS=OFF ${VANTREL_WINE_CMAKE_ARGS:-} >/dev/null

export WINEPREFIX=$PWD/$build/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# The prefix is made first (wineboot), and its wineserver waited for; then one
# wineserver serves the whole pass, started with its output away from ours and kept
# (-p, no delay given) until the end. A wine program that finds none starts its own,
# whose helper processes keep the output pipe of CTest, or of the GoogleTest listing at
# build time, open: seconds per test, or a hang until a timeout. The build runs longer
# than any fixed delay between two wine programs.
WINEDEBUG=-all wineserver -k >/dev/null 2>&1 || true
wineboot --init </dev/null >/dev/null 2>&1
wineserver -w
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Warm it: the first program starts wine's services, which stay; they must not inherit
# a pipe either.
wine cmd /c exit </dev/null >/dev/null 2>&1
# A port driver that opens and grants nothing: \\.\directio is /dev/null in this prefix.
ln -sfn /dev/null "$WINEPREFIX/dosdevices/directio"

# The build runs each GoogleTest program once under wine to list its tests.
cmake --build "$build" -j"$jobs"
ctest --test-dir "$build" -j"$jobs" --output-on-failure

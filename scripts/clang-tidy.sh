#!/usr/bin/env bash
# Runs clang-tidy (the checks of .clang-tidy) on the library's sources under src/ and the
# hosts' under tools/, with the compile database of a build folder (default: build;
# configured if missing).
# Exits 1 when it reports anything.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S . -B "$build" -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_BENCHMARKS=OFF >/dev/null
fi
# The library and its hosts: not the board or the tests.
files=$(git ls-files 'src/*.cpp' 'tools/*.cpp' | grep -v platform_win32.cpp)
# run-clang-tidy colours its output even into a pipe: the colours are taken out.
out=$(run-clang-tidy -quiet -p "$build" -j "$(nproc)" $files 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g' || true)
findings=$(grep -E '^/.*: (warning|error):' <<<"$out" | sort -u || true)
if [ -n "$findings" ]; then
  echo "$findings"
  echo "clang-tidy: $(wc -l <<<"$findings") finding(s)"
  exit 1
fi
echo "clang-tidy: src/ and tools/ are clean"

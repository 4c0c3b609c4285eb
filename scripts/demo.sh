#!/usr/bin/env bash
# Builds everything and runs the main job. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
build/bin/vantrel version

#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a bounded time from its checked-in seeds
# (fuzz/corpus/NAME). Fails when any target finds a crash, a hang, a leak or a sanitizer
# report; the input that caused it is kept in build-fuzz/artifacts/.
# FUZZ_SECONDS sets each target's time (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
jobs=$(nproc)

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DVANTREL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$jobs" --target vantrel_fuzzers
mkdir -p build-fuzz/artifacts build-fuzz/logs

failed=()
while read -r name; do
  [ -n "$name" ] || continue
  # New inputs go to a scratch directory, never into the checked-in seeds.
  scratch=$(mktemp -d)
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  log="build-fuzz/logs/$name.log"
  echo "== fuzz_$name for ${seconds}s"
  if build-fuzz/fuzz/"fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="build-fuzz/artifacts/$name-" "$scratch" "${seeds[@]}" >"$log" 2>&1; then
    grep -E "^(#[0-9]+\s+DONE|Done [0-9]+ runs)" "$log" | tail -1 || true
  else
    tail -40 "$log"
    failed+=("$name")
  fi
  rm -rf "$scratch"
done < build-fuzz/fuzz/fuzz_targets.txt

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (inputs in build-fuzz/artifacts/)"
  exit 1
fi
echo "fuzzing: no faults found"

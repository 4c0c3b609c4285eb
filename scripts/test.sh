#!/usr/bin/env bash
# Builds and runs every test: the native build, clang-tidy on src/ and tools/, a clang
# build of everything with warnings as errors, a Release build of
# every target with its tests, the installed product and the Debian package, the 32-bit
# Windows cross build with its export check and its tests under wine, the whole test
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer, and a bounded
# libFuzzer run of every target that takes outside input. Warnings are errors in every build here. Installs
# what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

if [ "${VANTREL_PRIVATE_SHM:-}" != 1 ]; then
  scripts/install-deps.sh
  # Every pass runs with a /dev/shm of its own where the machine allows it, so that a
  # host running here (a `vantrel gdbserver`) and the tests keep out of each other's way.
  VANTREL_PRIVATE_SHM=1 exec scripts/private-shm.sh "$0" "$@"
fi

echo "== native build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure

echo "== clang-tidy on the library's and the hosts' sources"
scripts/clang-tidy.sh build

echo "== clang build, warnings as errors (built, not run: the native pass ran the tests)"
# Unoptimised and without debug information: the point is clang's warnings, cheaply.
CC=clang CXX=clang++ cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O0 -DCMAKE_C_FLAGS=-O0 \
  -DVANTREL_WERROR=ON >/dev/null
cmake --build build-clang -j"$jobs"

echo "== Release build and tests"
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DVANTREL_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-release -j"$jobs"
ctest --test-dir build-release -j"$jobs" --output-on-failure

echo "== installed: a temporary prefix, its users, the Debian package"
scripts/test-install.sh build-release

echo "== 32-bit Windows build"
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  -DVANTREL_WERROR=ON >/dev/null
cmake --build build-win32 -j"$jobs" --target Vantrel
scripts/check-dll-exports.sh build-win32/bin/Vantrel.dll

echo "== 32-bit Windows: the DLL, the board, the end-to-end tests and C hosts under wine"
scripts/test-wine.sh build-wine

echo "== thread-stress tests under ThreadSanitizer"
cmake -S . -B build-tsan -DVANTREL_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_WERROR=ON >/dev/null
cmake --build build-tsan -j"$jobs" --target vantrel_tsan_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --test-dir build-tsan -j"$jobs" --output-on-failure -L tsan --no-tests=ignore

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DVANTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DVANTREL_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan -j"$jobs" --output-on-failure -LE benchmark

echo "== libFuzzer targets, each for a bounded time, under ASan and UBSan"
scripts/fuzz.sh

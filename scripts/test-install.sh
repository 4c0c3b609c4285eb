#!/usr/bin/env bash
# Checks the installed product, from a build folder configured with
# -DCMAKE_INSTALL_PREFIX=/usr and built (default: build-release):
#  1. installs into a temporary prefix; a CMake project (find_package, Vantrel::Vantrel)
#     and a Makefile project (pkg-config) build against it and get the library's name;
#     the installed vantrel runs the demo session on the simulated board from another
#     working folder, also after the whole prefix has been moved;
#  2. builds the Debian package, installs it with apt, runs /usr/bin/vantrel on the
#     demo session, removes it with apt, checks that none of its files is left, and
#     purges it.
# Part 2 needs root and changes this machine's /usr; --no-deb skips it.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build=build-release
with_deb=1
for arg in "$@"; do
  case $arg in
    --no-deb) with_deb=0 ;;
    *) build=$arg ;;
  esac
done
build=$(cd "$build" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
work=$(mktemp -d)
installed_deb=0
cleanup() {
  # A failed run does not leave its package on the machine.
  if [ "$installed_deb" = 1 ]; then DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq vantrel >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "test-install: $*" >&2; exit 1; }
expect_output() {  # expect_output PATTERN COMMAND...: runs it, shows and greps its output
  local pattern=$1; shift
  local out
  out=$("$@" 2>&1) || { echo "$out"; fail "failed: $*"; }
  echo "$out" | tail -n 3
  grep -q -- "$pattern" <<<"$out" || fail "'$pattern' not in the output of: $*"
}
run_demo() {  # run_demo PROGRAM SESSIONS_DIR: the demo session, from a folder of its own
  mkdir -p "$work/elsewhere"
  (cd "$work/elsewhere" && expect_output "stopped at 0x00000070  record_result" "$1" -q -f "$2/demo.vtl")
}

echo "== install into a temporary prefix"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name vantrel.pc)")/..

echo "-- a CMake project with find_package(Vantrel)"
cmake -S tests/packaging/consumer/cmake -B "$work/cmake-consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-consumer" >/dev/null
expect_output "^Vantrel V1.2 (headers $version)$" "$work/cmake-consumer/print_name"

echo "-- a Makefile project with pkg-config"
mkdir -p "$work/make-consumer"
PKG_CONFIG_PATH="$libdir/pkgconfig" make -s -f tests/packaging/consumer/make/Makefile OUT="$work/make-consumer"
expect_output "^Vantrel V1.2 (headers $version)$" "$work/make-consumer/print_name"

echo "-- the installed vantrel, from another folder"
expect_output "^vantrel $version$" "$prefix/bin/vantrel" --version
run_demo "$prefix/bin/vantrel" "$prefix/share/vantrel/examples/sessions"
echo "-- the same, the prefix moved elsewhere"
mv "$prefix" "$work/moved"
expect_output "^Vantrel V1.2$" "$work/moved/bin/vantrel" -q version
[ "$with_deb" = 1 ] || exit 0

echo "== the Debian package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/vantrel_"$version"_*.deb)
dpkg-deb --field "$deb" Package Version Depends
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
if dpkg-query -W -f='${Status}' vantrel 2>/dev/null | grep -q "install ok installed"; then
  fail "a vantrel package is already installed on this machine; remove it first"
fi
installed_deb=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
dpkg -L vantrel > "$work/files"
run_demo /usr/bin/vantrel /usr/share/vantrel/examples/sessions
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vantrel >/dev/null
left=0
while read -r path; do
  if [ -e "$path" ] && [ ! -d "$path" ]; then echo "left behind: $path" >&2; left=1; fi
done < "$work/files"
[ -d /usr/share/vantrel ] && { echo "left behind: /usr/share/vantrel" >&2; left=1; }
[ "$left" = 0 ] || fail "the package did not remove cleanly"
# Removed, dpkg still keeps the package's ldconfig postrm until a purge; then nothing.
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq vantrel >/dev/null
installed_deb=0
if dpkg-query -W -f='${Status}' vantrel 2>/dev/null | grep -qv "not-installed"; then
  fail "dpkg still knows the package after a purge: $(dpkg-query -W -f='${Status}' vantrel)"
fi
echo "test-install: all passed"

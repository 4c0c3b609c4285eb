#!/usr/bin/env bash
# Installs, with apt-get, every Debian package that building and testing need.
# Idempotent: packages already present are not fetched again.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  gcc-arm-none-eabi libnewlib-arm-none-eabi binutils-arm-none-eabi
  libunicorn-dev openocd gdb-multiarch
  libelf-dev libreadline-dev
  dpkg-dev file
  clang clang-tidy clang-format clang-14 libclang-rt-14-dev
  tmux
  util-linux libcap2-bin
  wine wine32:i386
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  # wine32 (the Windows pass runs the 32-bit DLL) comes from the i386 architecture.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_cmd dpkg --add-architecture i386
  fi
  echo "installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

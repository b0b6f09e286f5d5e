#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test Marquelle.
# Only missing packages are installed; a machine that has them all is left untouched.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 iproute2 util-linux
  googletest libbenchmark-dev
  clang-14 libclang-rt-14-dev clang-format-14 clang-tidy-14
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine64 xvfb xauth imagemagick fonts-wqy-microhei xdotool
  tinyproxy openssl
  nlohmann-json3-dev
  zlib1g-dev libxml2-dev libpugixml-dev libexpat1-dev libmrss0-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

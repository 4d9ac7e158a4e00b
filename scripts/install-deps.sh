#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the programs need, when missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
  qt6-base-dev libqt6svg6 libgl-dev libpng-dev
  libusb-1.0-0-dev libieee1284-3-dev umockdev libumockdev-dev
  xvfb xauth clang-format
  help2man groff-base desktop-file-utils librsvg2-bin
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Run as root, or install these packages first: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"

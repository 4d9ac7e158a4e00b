#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the programs need, when missing.
# With --windows, the MinGW-w64 cross-compiler, Wine, the MinGW zlib and what the desktop
# program's Windows build and its screenshot check need instead, and the source lines that
# `apt-get source` needs for libpng1.6 and qt6-base; exits 1 when they cannot be had.
# With --usb-kernel, what scripts/usb-kernel-stage.sh needs to boot a guest (the kernel package
# itself it fetches with `apt-get download` and unpacks, rather than installing it here).
# With --packages, what scripts/package.sh and the install test of its packages need.
set -euo pipefail

windows=0
[ "${1:-}" = --windows ] && windows=1

if [ $windows -eq 1 ]; then
  # Qt for MinGW is built with the host's Qt tools of the same version; the icon is drawn from
  # the SVG; the screenshot check drives both builds of the program on a virtual X display.
  packages=(
    g++-mingw-w64-x86-64-posix wine64 libz-mingw-w64-dev dpkg-dev
    cmake ninja-build qt6-base-dev qt6-base-dev-tools librsvg2-bin icoutils
    xvfb xauth xdotool x11-apps python3 fonts-dejavu-core zip unzip nsis
  )
elif [ "${1:-}" = --usb-kernel ]; then
  packages=(qemu-system-x86 busybox-static cpio binutils)
elif [ "${1:-}" = --packages ]; then
  packages=(dpkg-dev binutils file lintian appstream desktop-file-utils man-db help2man)
else
  packages=(
    build-essential cmake ninja-build pkg-config ccache
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
    qt6-base-dev libqt6svg6 libgl-dev libpng-dev libjpeg62-turbo-dev libtiff-dev
    libusb-1.0-0-dev libieee1284-3-dev umockdev libumockdev-dev
    xvfb xauth clang-format
    help2man groff-base desktop-file-utils librsvg2-bin
    clang libclang-rt-14-dev
    chromium poppler-utils  # print the service report in its test, and read the PDF
  )
fi

# libpng and Qt for MinGW are built from Debian's own source packages.
src_list=/etc/apt/sources.list.d/vantor-deb-src.sources
sources=(libpng1.6 qt6-base)
have_sources() {
  local s
  for s in "${sources[@]}"; do apt-cache showsrc "$s" 2>/dev/null | grep -q '^Package:' || return 1; done
}
need_src=0
if [ $windows -eq 1 ] && ! have_sources; then need_src=1; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ $need_src -eq 0 ] && exit 0

[ ${#missing[@]} -eq 0 ] || echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Run as root, or install these packages first: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ $need_src -eq 1 ]; then
  # The source twins of the binary lines already configured, from the same Debian archive.
  . /etc/os-release
  mirror=$(awk '$1 == "URIs:" && $2 ~ /debian\/?$/ {print $2; exit}' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  [ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 ~ /debian\/?$/ {print $2; exit}' \
    /etc/apt/sources.list 2>/dev/null || true)
  cat >"$src_list" <<SRC
Types: deb-src
URIs: ${mirror:-http://deb.debian.org/debian}
Suites: $VERSION_CODENAME $VERSION_CODENAME-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi
apt-get update -qq
[ ${#missing[@]} -eq 0 ] || apt-get install -y -qq --no-install-recommends "${missing[@]}"
if [ $need_src -eq 1 ] && ! have_sources; then
  echo "The source packages ${sources[*]} cannot be had from the configured archive" >&2
  exit 1
fi

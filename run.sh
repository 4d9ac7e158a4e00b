#!/usr/bin/env bash
# Installs what is missing, builds the release, and runs the tool on the virtual printer:
# the desktop program when a display is available, else a vantorctl tour.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

bin=build/release
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$bin/app/vantor-adjust" ]; then
  exec "$bin/app/vantor-adjust" --virtual "$@"
fi

echo "No display: touring the virtual printer with vantorctl instead of the windows."
ctl="$bin/cli/vantorctl"
state=$(mktemp -d)/printer.bin
trap 'rm -rf "$(dirname "$state")"' EXIT
step() { echo; echo "\$ vantorctl --virtual=printer.bin $*"; "$ctl" --virtual="$state" "$@" || true; }
step status
step protection-counter
step page-counter
step pass-counter
step eeprom read 00 FF

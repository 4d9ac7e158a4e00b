#!/usr/bin/env bash
# Installs what is missing, builds the debug and the sanitizer builds, runs every test of both.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc)
status=0
for preset in dev asan; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs" || status=1
done
exit $status

#!/usr/bin/env bash
# Reads the whole EEPROM (256 bytes) over a pseudo-terminal from serve-virtual on the system
# clock, and sets the wall time beside the waits the protocol itself requires: 256 reads x 3
# exchanges x 10 ms before each read (a USB read attempt waits another 10 ms of its own).
# The ratio is the link's own overhead.
set -euo pipefail
ctl=${1:-build/release/cli/vantorctl}
runs=${2:-3}
dir=$(mktemp -d)
trap 'kill $server 2>/dev/null; rm -rf "$dir"' EXIT
"$ctl" serve-virtual --link "$dir/vp" </dev/null >"$dir/log" 2>&1 &
server=$!
for _ in $(seq 100); do grep -q "serving on" "$dir/log" 2>/dev/null && break; sleep 0.1; done

for kind in LPT1 TVUSB1; do
  per_exchange=10
  [ "$kind" = TVUSB1 ] && per_exchange=20
  required_ms=$((256 * 3 * per_exchange))
  echo "$kind: protocol waits ${required_ms} ms (256 reads x 3 exchanges x ${per_exchange} ms)"
  for i in $(seq "$runs"); do
    start=$(date +%s%N)
    "$ctl" --port "$kind" --device "$kind=$dir/vp" eeprom read 00 FF >/dev/null
    end=$(date +%s%N)
    wall_ms=$(((end - start) / 1000000))
    awk -v w="$wall_ms" -v r="$required_ms" -v i="$i" \
      'BEGIN { printf "  run %d: %d ms wall, %.3f x the protocol waits, %.1f ms per byte\n", i, w, w / r, w / 256 }'
  done
done

#!/usr/bin/env bash
# Reads the whole EEPROM (256 bytes) over a pseudo-terminal from serve-virtual on the system
# clock, and sets the wall time beside the waits the program itself asked for in that session
# (start, 256 reads, shutdown), which VANTOR_SLEEP_TOTAL makes it print at exit. The ratio is
# the link's own overhead.
set -euo pipefail
ctl=${1:-build/release/cli/vantorctl}
runs=${2:-3}
dir=$(mktemp -d)
trap 'kill $server 2>/dev/null; rm -rf "$dir"' EXIT
"$ctl" serve-virtual --link "$dir/vp" </dev/null >"$dir/log" 2>&1 &
server=$!
for _ in $(seq 100); do grep -q "serving on" "$dir/log" 2>/dev/null && break; sleep 0.1; done

for kind in LPT1 TVUSB1; do
  echo "$kind:"
  for i in $(seq "$runs"); do
    start=$(date +%s%N)
    VANTOR_SLEEP_TOTAL=1 "$ctl" --port "$kind" --device "$kind=$dir/vp" eeprom read 00 FF \
      >/dev/null 2>"$dir/err"
    end=$(date +%s%N)
    wall_ms=$(((end - start) / 1000000))
    waits_ms=$(sed -n 's/^requested sleeps: \([0-9]*\) ms$/\1/p' "$dir/err")
    awk -v w="$wall_ms" -v r="$waits_ms" -v i="$i" \
      'BEGIN { printf "  run %d: %d ms wall, %d ms of waits, %.4f x the waits\n", i, w, r, w / r }'
  done
done

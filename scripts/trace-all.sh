#!/usr/bin/env bash
# Records the wire trace of every vantorctl command on a fresh virtual printer, one file per
# command and port kind, so a change can be checked for trace differences:
#   scripts/trace-all.sh build/dev/cli/vantorctl /tmp/before   (then again after, and diff -r)
set -uo pipefail
ctl=${1:?vantorctl binary}
out=${2:?output folder}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Enter at every step of the guided exchange; a file, so that commands that read nothing do
# not break a pipe.
printf '\n\n\n\n\n\n\n\n\n\n' >"$work/enters"

commands=(
  "status"
  "eeprom read 00"
  "eeprom read 10 2F"
  "eeprom write 5D 0E"
  "eeprom init"
  "protection-counter"
  "protection-counter clear --old"
  "protection-counter clear --new"
  "page-counter"
  "pass-counter"
  "clean"
  "ink-charge"
  "cr-dispersion --replaced main-board --yes"
  "cr-dispersion --replaced cr-guide-shaft,cr-motor --yes"
  "head-id"
  "head-id set 21A2B3C4D5E12"
  "head-id set 21A2B3C4D5E13"
  "usb-id"
  "usb-id set Q30ABC0001AA99T010"
  "usb-id serial A12345678Z"
  "bid print"
  "bid"
  "bid set vsd1-black=3 eco-color=-2"
  "bid set vsd1-black=99"
  "pf print"
  "pf"
  "pf set 2"
  "top-margin print"
  "top-margin"
  "top-margin set 3"
  "head-angle print"
  "check-pattern"
  "exchange"
)
for model in Q40 Q30; do
  for port in TVUSB1 LPT1; do
    i=0
    for c in "${commands[@]}"; do
      i=$((i + 1))
      name=$(printf '%s-%s-%02d-%s' "$model" "$port" "$i" "${c// /_}")
      state="$work/$model-$port.bin"
      # shellcheck disable=SC2086
      "$ctl" --model "$model" --port "$port" --virtual="$state" \
        --trace "$out/$name.trace" $c <"$work/enters" >"$out/$name.out" 2>&1
      echo "exit $?" >>"$out/$name.out"
    done
  done
done

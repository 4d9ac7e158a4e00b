#!/usr/bin/env bash
# Runs every vantorctl command on a fresh virtual printer with --trace and writes one trace a
# command to DIR; with a second vantorctl, runs both and lists the commands whose traces differ.
#   compare-traces.sh VANTORCTL DIR [OTHER-VANTORCTL]
# A change to the wire should leave every trace alike except where it means to change it
# (usb-id serial carries the date code of this PC's clock).
set -uo pipefail
one=${1:?vantorctl}
dir=${2:?folder for the traces}
other=${3:-}
mkdir -p "$dir"

# NAME|ARGS (the steps of one name run in order on one printer)
commands=(
  "status|status"
  "eeprom-read|eeprom read 00 FF"
  "eeprom-write|eeprom write 7D 02"
  "eeprom-init|eeprom init"
  "eeprom-backup|eeprom backup @/backup.bin"
  "eeprom-restore|eeprom write 7D 03" "eeprom-restore|eeprom restore --yes @/backup.bin"
  "protection-counter|protection-counter"
  "protection-clear|protection-counter clear --old"
  "page-counter|page-counter"
  "pass-counter|pass-counter"
  "clean|clean"
  "ink-charge|ink-charge"
  "cr-fixed|cr-dispersion --replaced main-board -y"
  "cr-measured|cr-dispersion --replaced main-board,cr-guide-shaft -y"
  "head-id|head-id"
  "head-id-set|head-id set 21A2B3C4D5E12"
  "usb-id|usb-id"
  "usb-id-set|usb-id set Q30ABC0001AA99T010"
  "usb-id-serial|usb-id serial A12345678Z"
  "bid|bid"
  "bid-print|bid print"
  "bid-set|bid set vsd1-black=3 eco-color=-2"
  "pf|pf"
  "pf-print|pf print"
  "pf-set|pf set 2"
  "top-margin|top-margin"
  "top-margin-print|top-margin print"
  "top-margin-set|top-margin set +2"
  "head-angle-print|head-angle print"
  "check-pattern|check-pattern"
  "exchange|exchange"
)

run_all() {  # VANTORCTL OUT
  local vantorctl=$1 out=$2 entry name args n=0
  rm -rf "$out" && mkdir -p "$out/state"
  # Enter at every question (the exchange asks at each step).
  printf '\n%.0s' $(seq 20) >"$out/answers"
  for entry in "${commands[@]}"; do
    name=${entry%%|*}
    args=${entry#*|}
    args=${args//@/$out/state}
    n=$((n + 1))
    # shellcheck disable=SC2086
    "$vantorctl" --virtual="$out/state/$name.bin" --model Q40 \
      --trace "$out/$name.$n.trace" $args <"$out/answers" >"$out/$name.$n.log" 2>&1
    echo "exit $?" >>"$out/$name.$n.log"
  done
}

run_all "$one" "$dir/a"
[ -n "$other" ] || exit 0
run_all "$other" "$dir/b"
status=0
for trace in "$dir/a"/*.trace; do
  name=$(basename "$trace")
  if ! cmp -s "$trace" "$dir/b/$name"; then
    echo "differs: ${name%.trace} ($(diff "$trace" "$dir/b/$name" | grep -c '^[<>]') lines)"
    status=1
  fi
done
[ $status -eq 1 ] || echo "all $(ls "$dir/a"/*.trace | wc -l) traces alike"
exit $status

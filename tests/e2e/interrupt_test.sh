#!/usr/bin/env bash
# Ctrl-C (SIGINT, 130) and SIGTERM (143) during a wait or a long EEPROM read end vantorctl
# cleanly within the bound of a link shutdown, saying so on standard error and leaving no half
# table, backup or difference list, on the virtual printer in real time.
set -uo pipefail
ctl=${1:?vantorctl binary}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
"$ctl" --virtual="$work/eeprom.bin" eeprom backup "$work/image.json" >/dev/null || exit 1

# COMMAND WORDS SIGNAL EXPECTED-STATUS: interrupts after 2 s of the 15 s the command takes.
interrupt() {
  local command=$1 signal=$2 want=$3
  start=$(date +%s)
  # shellcheck disable=SC2086
  "$ctl" --virtual="$work/eeprom.bin" --real-time $command >"$work/out" 2>"$work/err" &
  pid=$!
  sleep 2
  kill -s "$signal" "$pid"
  wait "$pid"
  code=$?
  took=$(($(date +%s) - start))
  if [ "$code" -ne "$want" ]; then
    echo "$command, SIG$signal: exit $code, expected $want"; cat "$work/err"; status=1
  fi
  # One line that names the command and what became of the link.
  if [ "$(grep -c '^Interrupted' "$work/err")" -ne 1 ] ||
    ! grep -q "^Interrupted '${command%% [0-9A-Z/]*}': the link to the printer was shut down.$" \
      "$work/err"; then
    echo "$command, SIG$signal: no words of the interruption"; cat "$work/err"; status=1
  fi
  if [ "$took" -gt 5 ] && [ "$command" != clean ]; then
    echo "$command, SIG$signal: took $took s, not stopped between bytes"; status=1
  fi
  if [ "$took" -gt 15 ]; then
    echo "$command, SIG$signal: took $took s"; status=1
  fi
}

for signal_status in "INT 130" "TERM 143"; do
  set -- $signal_status
  interrupt clean "$1" "$2"
  interrupt "eeprom read 00 FF" "$1" "$2"
  if [ -s "$work/out" ]; then echo "eeprom read, SIG$1: a partial table"; status=1; fi
  interrupt "eeprom diff $work/image.json" "$1" "$2"
  if [ -s "$work/out" ]; then echo "eeprom diff, SIG$1: a partial list"; status=1; fi
  interrupt "eeprom backup $work/partial.json" "$1" "$2"
  if ls "$work"/partial.json* >/dev/null 2>&1; then
    echo "eeprom backup, SIG$1: a file was left"; status=1
  fi
done
exit $status

#!/usr/bin/env bash
# Ctrl-C (SIGINT) and SIGTERM during a wait end vantorctl cleanly with status 130, within the
# bound of a link shutdown, saying so on standard error, on the virtual printer in real time.
set -uo pipefail
ctl=${1:?vantorctl binary}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for signal in INT TERM; do
  start=$(date +%s)
  "$ctl" --virtual="$work/eeprom.bin" --real-time clean >"$work/out" 2>"$work/err" &
  pid=$!
  sleep 2
  kill -s "$signal" "$pid"
  wait "$pid"
  code=$?
  took=$(($(date +%s) - start))
  if [ "$code" -ne 130 ]; then
    echo "SIG$signal: exit $code, expected 130"; cat "$work/err"; status=1
  fi
  # One line that names the command and what became of the link.
  if [ "$(grep -c '^Interrupted' "$work/err")" -ne 1 ] ||
    ! grep -qxF "Interrupted 'clean': the link to the printer was shut down." "$work/err"; then
    echo "SIG$signal: no words of the interruption"; cat "$work/err"; status=1
  fi
  if [ "$took" -gt 15 ]; then
    echo "SIG$signal: took $took s"; status=1
  fi
done
exit $status

#!/usr/bin/env bash
# vantorctl against serve-virtual over a pseudo-terminal: the device-file path end to end.
set -u
ctl=${1:?path to vantorctl}
dir=$(mktemp -d)
link=$dir/vp
fifo=$dir/console
mkfifo "$fifo"
passed=0
failed=0

cleanup() {
  exec 3>&- 2>/dev/null
  [ -n "${server:-}" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

"$ctl" serve-virtual --link "$link" --state "$dir/state.bin" --time-scale 0.01 <"$fifo" >"$dir/server.log" 2>&1 &
server=$!
exec 3>"$fifo"
for _ in $(seq 100); do
  grep -q "serving on" "$dir/server.log" 2>/dev/null && break
  sleep 0.1
done

check() {  # NAME EXPECTED-REGEX COMMAND...
  local name=$1 want=$2
  shift 2
  local got
  got=$("$@" 2>&1)
  if printf '%s\n' "$got" | grep -Eq -- "$want"; then
    passed=$((passed + 1))
    echo "ok   $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name: wanted /$want/, got:"
    printf '%s\n' "$got" | sed 's/^/     /'
  fi
}

usb=("$ctl" --device "TVUSB1=$link" --trace "$dir/trace.txt")
lpt=("$ctl" --port LPT1 --device "LPT1=$link")

check "status over USB framing" "^Ready to print\.$" "${usb[@]}" status
check "trace has the device ID and the entry sequence" "^W 00 00 00 1b 01 40 5a 4a 4c" cat "$dir/trace.txt"
check "device ID read from beside the link" "^D 00 [0-9a-f]{2} 4d 46 47" cat "$dir/trace.txt"
check "EEPROM write" "^Data = 0E$" "${usb[@]}" eeprom write 5D 0E
check "EEPROM read back" "^0E$" "${usb[@]}" eeprom read 5D
check "EEPROM read over the parallel stream" "^0E$" "${lpt[@]}" eeprom read 5D
check "range table" "^5 .* 0E" "${usb[@]}" eeprom read 50 5F
check "state file in use by the server" "is in use by process $server$" \
  "$ctl" --virtual="$dir/state.bin" eeprom read 5D
# One client at a time: a second one would corrupt the first's session.
"$ctl" --device "TVUSB1=$link" clean >"$dir/first.log" 2>&1 &
first=$!
sleep 0.5
check "a second client is told who holds the link" "^\(TVUSB1 is in use by process $first;" \
  "$ctl" --device "TVUSB1=$link" status
wait "$first"
check "the first client's cleaning went on untouched" "completed" cat "$dir/first.log"
echo "paper out" >&3
sleep 0.3
check "paper out raised on the console" "^Paper out error$" "${usb[@]}" status
check "the error state's words in JSON" '"status_words":"Paper out error"' "${usb[@]}" --json status
echo "paper in" >&3
sleep 0.3
check "paper loaded again" "^Ready to print\.$" "${usb[@]}" status
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
server=
check "server gone: cannot open port" "^Cannot open port\.$" "${usb[@]}" status
check "state kept in the file" "^0E$" "$ctl" --virtual="$dir/state.bin" eeprom read 5D

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

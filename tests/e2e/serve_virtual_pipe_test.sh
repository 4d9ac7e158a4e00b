#!/usr/bin/env bash
# vantorctl.exe against serve-virtual on a named pipe, both under Wine: the Windows device-file
# path end to end. With a Linux vantorctl as the second argument, the EEPROM table of a fresh
# virtual printer must come out the same from both builds.
set -u
wine=${1:?path to wine}
ctl=${2:?path to vantorctl.exe}
linux_ctl=${3:-}
dir=$(mktemp -d)
pipe="\\\\.\\pipe\\vantor-e2e-$$"
fifo=$dir/console
mkfifo "$fifo"
passed=0
failed=0
export WINEDEBUG=-all

cleanup() {
  exec 3>&- 2>/dev/null
  [ -n "${server:-}" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

check() {  # NAME EXPECTED-REGEX COMMAND...
  local name=$1 want=$2
  shift 2
  local got
  got=$("$@" 2>&1 | tr -d '\r')
  if printf '%s\n' "$got" | grep -Eq -- "$want"; then
    passed=$((passed + 1))
    echo "ok   $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name: wanted /$want/, got:"
    printf '%s\n' "$got" | sed 's/^/     /'
  fi
}

"$wine" "$ctl" serve-virtual --link "$pipe" --state "$dir/state.bin" --time-scale 0.01 \
  <"$fifo" >"$dir/server.log" 2>&1 &
server=$!
exec 3>"$fifo"
for _ in $(seq 300); do
  grep -q "serving on" "$dir/server.log" 2>/dev/null && break
  sleep 0.1
done

usb=("$wine" "$ctl" --device "TVUSB1=$pipe" --trace "$dir/trace.txt")
lpt=("$wine" "$ctl" --port LPT1 --device "LPT1=$pipe")

check "status over USB framing" "^Ready to print\.$" "${usb[@]}" status
check "trace has the entry sequence" "^W 00 00 00 1b 01 40 5a 4a 4c" cat "$dir/trace.txt"
check "device ID read from the pipe's ID file" "^D 00 [0-9a-f]{2} 4d 46 47" cat "$dir/trace.txt"
check "EEPROM write" "^Data = 0E$" "${usb[@]}" eeprom write 5D 0E
check "EEPROM read back" "^0E$" "${usb[@]}" eeprom read 5D
check "EEPROM read over the parallel stream" "^0E$" "${lpt[@]}" eeprom read 5D
echo "paper out" >&3
sleep 0.5
check "paper out raised on the console" "^Paper out error$" "${usb[@]}" status
echo "quit" >&3
wait "$server" 2>/dev/null
server=
# 0A and 1A in the image: a text-mode file would have grown or stopped short.
check "state kept in the file, byte for byte" "^256 " wc -c "$dir/state.bin"
check "state read back by the Windows build" "^0E$" "$wine" "$ctl" --virtual="$dir/state.bin" eeprom read 5D
check "server gone: cannot open port" "^Cannot open port\.$" "${usb[@]}" status

if [ -n "$linux_ctl" ]; then
  "$linux_ctl" --virtual eeprom read 00 FF >"$dir/linux.txt" 2>&1
  "$wine" "$ctl" --virtual eeprom read 00 FF 2>&1 | tr -d '\r' >"$dir/windows.txt"
  check "EEPROM table the same as the Linux build's" "^same$" \
    sh -c "cmp -s '$dir/linux.txt' '$dir/windows.txt' && echo same || diff '$dir/linux.txt' '$dir/windows.txt'"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

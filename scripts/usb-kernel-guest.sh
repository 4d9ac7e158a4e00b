#!/bin/busybox sh
# The guest's init for scripts/usb-kernel-stage.sh: a printer gadget on dummy_hcd served by
# `vantorctl serve-virtual --device`, and vantorctl driving it through usblp, then libusb.
# Every check prints "ok" or "FAIL"; the last line says "usb-stage: passed" or why not.
/bin/busybox --install -s /bin
export PATH=/bin:/usr/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
for m in $(cat /lib/modules/order); do insmod "/lib/modules/$m.ko" || echo "FAIL loading $m"; done
mount -t configfs configfs /sys/kernel/config
cd /tmp || exit 1

failed=0
# Tenths of a second since boot.
now() { awk '{ printf "%d", $1 * 10 }' /proc/uptime; }
at() { awk '{ printf "%6.1f s", $1 }' /proc/uptime; }
ok() { echo "ok   $(at) $*"; }
bad() {
  echo "FAIL $(at) $*"
  failed=$((failed + 1))
}
finish() {
  stop_serving
  [ $failed -eq 0 ] || sed "s/^/serve-virtual: /" serve.log
  if [ $failed -eq 0 ]; then echo "usb-stage: passed"; else echo "usb-stage: $failed failed"; fi
  sync
  poweroff -f
}
waitfor() { # CONDITION... : up to 10 s
  i=0
  while ! "$@"; do
    i=$((i + 1))
    [ $i -gt 100 ] && return 1
    sleep 0.1
  done
}

# The device ID the in-process printer of MODEL gives, without its two length bytes.
device_id() {
  vantorctl --virtual --model "$1" --trace id.t status >/dev/null
  sed -n 's/^D [0-9a-f]* [0-9a-f]* //p' id.t | xxd -r -p
}

G=/sys/kernel/config/usb_gadget/vp
gadget_there() { grep -qx 0104 /sys/bus/usb/devices/*/idProduct 2>/dev/null; }
host_there() { if [ "$usblp" = 1 ]; then [ -c /dev/usb/lp0 ]; else gadget_there; fi; }
unplug() { echo "" >$G/UDC; }
plug() {
  echo dummy_udc.0 >$G/UDC
  waitfor host_there || bad "the host side did not see the gadget"
}
make_gadget() { # MODEL: a gadget whose printer function's device ID is MODEL's
  mkdir -p $G/strings/0x409 $G/configs/c.1/strings/0x409 $G/functions/printer.0
  echo 0x1d6b >$G/idVendor
  echo 0x0104 >$G/idProduct
  echo Vantor >$G/strings/0x409/manufacturer
  echo "$1" >$G/strings/0x409/product
  echo 0001 >$G/strings/0x409/serialnumber
  echo printer >$G/configs/c.1/strings/0x409/configuration
  # The printer function counts the length without its own two bytes and sends no more than
  # that: two characters beyond the ID, never sent, make the host see the ID whole.
  # One write: each write replaces the string.
  printf '%s..' "$(device_id "$1")" >$G/functions/printer.0/pnp_string
  [ -e $G/configs/c.1/printer.0 ] || ln -s $G/functions/printer.0 $G/configs/c.1/
}

server=
serve() { # MODEL STATE: a fresh server, its console on descriptor 3
  stop_serving
  rm -f console serve.log
  mkfifo console
  vantorctl --model "$1" serve-virtual --device /dev/g_printer0 --state "$2" \
    --time-scale 0.1 <console >serve.log 2>&1 &
  server=$!
  exec 3>console
  waitfor grep -q "serving on" serve.log || bad "serve-virtual did not start: $(cat serve.log)"
}
stop_serving() { # by its console, as a technician ends it
  [ -n "$server" ] || return 0
  echo quit >&3
  wait "$server" || bad "serve-virtual ended with exit $?: $(cat serve.log)"
  server=
  exec 3>&-
}
console() { # LINE: told to the server, which answers with one line
  lines=$(wc -l <serve.log)
  echo "$*" >&3
  waitfor test "$(wc -l <serve.log)" -gt "$lines"
}

# Wire traces as both printers must give them: the port comments and (for waiting commands)
# the status polls are left out; their number follows the clock, real or virtual.
wire() { # TRACE WAITS
  awk -v waits="$2" '
    /^#/ { next }
    waits && /^W 02 02 00 0b 00 00 73 74 01 00 01$/ { n -= 4; skip = 1; next }
    waits && /^W 40 40 00 08 00 00 1b 40$/ { next }
    skip { skip = 0; next }
    { line[n++] = $0 }
    END { for (i = 0; i < n; i++) print line[i] }' "$1"
}

# COMMAND... on the USB port and on the in-process printer: same exit, words and wire.
same() {
  waits=0
  case "$*" in *print* | clean*) waits=1 ;; esac
  name=$(echo "$*" | tr ' ' _)
  vantorctl --trace "$name.usb.t" "$@" >"$name.usb.out" 2>&1
  urc=$?
  vantorctl --virtual=virtual.bin --trace "$name.virt.t" "$@" >"$name.virt.out" 2>&1
  vrc=$?
  if [ $urc -ne 0 ] || [ $urc -ne $vrc ]; then
    bad "$via: $*: exit $urc, in-process $vrc: $(cat "$name.usb.out")"
  elif ! cmp -s "$name.usb.out" "$name.virt.out"; then
    bad "$via: $*: words differ"
    diff "$name.virt.out" "$name.usb.out"
  elif ! wire "$name.usb.t" $waits >a.w || ! wire "$name.virt.t" $waits >b.w || ! cmp -s a.w b.w; then
    bad "$via: $*: wire traces differ"
    diff b.w a.w | head -20
  else
    ok "$via: $* ($(grep -c '^[WR]' "$name.usb.t") transfers, same as in-process)"
  fi
}

made() { # N PID: N transfers made, or the command ended
  [ "$(cat pull.t 2>/dev/null | grep -c '^[WR]')" -ge "$1" ] || ! kill -0 "$2" 2>/dev/null
}

# Pulls the cable when COMMAND has made AFTER transfers: the command ends within 12 s with
# words and claims nothing the printer did not acknowledge (CLAIM: what its output shows only
# when it finished); after re-plugging `status` works. A write may have finished before the
# pull took effect: then the printer must hold what it claims.
pull() { # AFTER CLAIM COMMAND...
  after=$1 claim=$2
  shift 2
  rm -f pull.t
  vantorctl --trace pull.t "$@" >pull.out 2>&1 &
  pid=$!
  waitfor made "$after" $pid
  t0=$(now)
  unplug
  wait $pid
  rc=$?
  t=$(($(now) - t0))
  what="$via: $* pulled after $after transfers"
  words=$(tail -1 pull.out)
  plug
  if [ $rc -eq 0 ] && [ "$1" = eeprom ] && [ "$2" = write ] &&
    [ "$(vantorctl eeprom read "$3" 2>&1)" = "$4" ]; then
    ok "$what: finished first, and the printer holds $4"
  elif [ $rc -eq 0 ]; then
    bad "$what: exit 0: $(cat pull.out)"
  elif [ $t -gt 120 ]; then
    bad "$what: ended after $t/10 s"
  elif [ -z "$words" ]; then
    bad "$what: no words"
  elif grep -q "$claim" pull.out; then
    bad "$what: claims '$claim'"
  else
    ok "$what: exit $rc in $t/10 s: $words"
  fi
  if out=$(vantorctl status 2>&1); then
    ok "$via: re-plugged: $out"
  else
    bad "$via: re-plugged, status fails: $out"
  fi
}

holds() { # ADDRESS VALUE...: the printer's byte is one of these
  got=$(vantorctl eeprom read "$1" 2>&1)
  for v in "$@"; do
    [ "$v" = "$1" ] && continue
    [ "$got" = "$v" ] && ok "$via: $1 holds $got" && return
  done
  bad "$via: $1 holds '$got', not one of: $(echo "$@" | cut -d' ' -f2-)"
}

# The printer falls silent: its endpoints stop taking and giving data (the server stopped).
# A real STALL handshake is out of reach: the printer function has no call that halts its
# bulk endpoints.
silence() {
  kill -STOP "$server"
  t0=$(now)
  vantorctl eeprom read 00 0F >stall.out 2>&1
  rc=$?
  t=$(($(now) - t0))
  kill -CONT "$server"
  if [ $rc -ne 0 ] && [ $t -le 120 ] && [ -n "$(tail -1 stall.out)" ]; then
    ok "$via: silent endpoints: exit $rc in $t/10 s: $(tail -1 stall.out)"
  else
    bad "$via: silent endpoints: exit $rc in $t/10 s: $(cat stall.out)"
  fi
  unplug
  plug
  out=$(vantorctl status 2>&1) && ok "$via: after the silence: $out" ||
    bad "$via: after the silence: $out"
}

make_gadget Q40
usblp=1
plug
serve Q40 served.bin
echo "booted and plugged at $(at)"
via=usblp

# The port doctor reads the device ID through the kernel.
if vantorctl ports >ports.out 2>&1 && grep -q '/dev/usb/lp0' ports.out &&
  grep -q 'MDL:Vantor Q40' ports.out; then
  ok "usblp: ports: TVUSB1 is /dev/usb/lp0 with the printer's device ID"
else
  bad "usblp: ports"
  cat ports.out
fi
same status
same eeprom read 5D
same eeprom write 5D 0E
same eeprom read 58 5F
same page-counter
same pf print
same clean

table='^3 [0-9A-F][0-9A-F] '
pull 4 "$table" eeprom read 00 3F
pull 40 "$table" eeprom read 00 3F
pull 150 "$table" eeprom read 00 3F
# Before the write: the printer holds back its answer to the status query before it. It must
# keep its old value.
old=$(vantorctl eeprom read 5E 2>&1)
console fault no-reply,after=5
pull 11 'Data =' eeprom write 5E 21
console fault off
holds 5E "$old"
# Between the write and its acknowledgement: the printer takes the write (its tenth command)
# and holds back the answer. It may hold either value; the command claimed neither.
console fault no-reply,after=9
pull 19 'Data =' eeprom write 5E 22
console fault off
holds 5E "$old" 22
# In the shutdown, after the acknowledgement.
pull 24 'Data =' eeprom write 5E 23
pull 30 'Completion' pf print
pull 400 'Completion' pf print
pull 2000 'Completion' pf print
silence
echo "usblp done at $(at)"

# libusb: usblp out of the way, the device through usbfs; both printers afresh.
stop_serving
unplug
rmmod usblp
usblp=0
plug
serve Q40 served-libusb.bin
rm virtual.bin
via=libusb
same status
same eeprom read 5D
same eeprom write 5D 0F
same page-counter
same pf print
same clean
pull 40 "$table" eeprom read 00 3F
console fault no-reply,after=9
pull 19 'Data =' eeprom write 5E 24
console fault off
pull 400 'Completion' pf print
echo "libusb done at $(at)"

# A gadget whose device ID names the other model: the start says so, as it does in-process.
stop_serving
unplug
make_gadget Q30
plug
serve Q30 served-q30.bin
vantorctl --model Q30 --virtual=q30.bin status >/dev/null
vantorctl --model Q40 status >other.usb.out 2>&1
urc=$?
vantorctl --model Q40 --virtual=q30.bin status >other.virt.out 2>&1
vrc=$?
if [ $urc -eq $vrc ] && cmp -s other.usb.out other.virt.out && grep -q 'Q30' other.usb.out; then
  ok "libusb: a Q30 gadget started as a Q40: exit $urc: $(head -1 other.usb.out)"
else
  bad "libusb: a Q30 gadget started as a Q40: exit $urc, in-process $vrc"
  diff other.virt.out other.usb.out
fi

finish

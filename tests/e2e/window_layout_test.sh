#!/usr/bin/env bash
# The Windows desktop program under Wine on a 1280x1024 X display: from the start window to the
# adjustment window on the virtual printer, which must talk to it (its wire trace), be wholly
# drawn and have its controls where the Linux build has them.
#   window_layout_test.sh WINE VANTOR-ADJUST.EXE [LINUX-VANTOR-ADJUST]
# Without the Linux program only the drawing and the link are checked. Screenshots are kept in
# $VANTOR_SCREENSHOT_DIR when set.
set -euo pipefail
wine=$1
exe=$2
linux=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
shots=${VANTOR_SCREENSHOT_DIR:-$work}
mkdir -p "$shots"
pids=()
# A Wine of its own (WINEPREFIX, kept between runs): a Wine server whose desktop was started
# without a display, as the other tests' is, shows no windows.
wineserver=$(command -v wineserver || echo "$(dirname "$wine")/wineserver")
finish() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
if [ ! -e "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # No offer to install Wine's .NET and browser parts on the display.
  DISPLAY= WINEDLLOVERRIDES="mscoree,mshtml=" timeout 300 "$wine" wineboot -i >/dev/null 2>&1 || true
  "$wineserver" -k 2>/dev/null || true
fi

# A display of its own, numbered by the server.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -br -nolisten tcp 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  [ -s "$work/display" ] && break
  sleep 0.2
done
display=$(head -n1 "$work/display")
[ -n "$display" ] || {
  echo "Xvfb did not start"
  cat "$work/xvfb.log"
  exit 1
}
export DISPLAY=:$display

# NAME COMMAND...: starts the program, chooses the first model and port in the start window,
# and dumps the adjustment window once the link has run.
shoot() {
  local name=$1
  shift
  "$@" "--virtual-printer=$work/$name.eeprom" --trace "$work/$name.trace" \
    >"$work/$name.log" 2>&1 &
  local pid=$!
  pids+=($pid)
  local start adjust
  start=$(timeout 120 xdotool search --sync --onlyvisible --name "Printer Adjustment Program" |
    head -n1) || {
    echo "$name: no start window"
    cat "$work/$name.log"
    return 1
  }
  xdotool windowfocus --sync "$start"
  sleep 1
  # Combo boxes start empty: the first model, the first port, then OK (the default button).
  xdotool key --delay 200 Down Tab Down Return
  adjust=$(timeout 60 xdotool search --sync --onlyvisible --name "Individual Adjustment Program" |
    head -n1) || {
    echo "$name: no adjustment window"
    cat "$work/$name.log"
    return 1
  }
  # The link starts with the window; its first exchanges are in the trace.
  for _ in $(seq 60); do
    grep -q '^R' "$work/$name.trace" 2>/dev/null && break
    sleep 0.5
  done
  grep -q '^R' "$work/$name.trace" 2>/dev/null || {
    echo "$name: the adjustment window did not talk to the virtual printer"
    cat "$work/$name.log"
    return 1
  }
  sleep 3
  xdotool windowraise "$adjust"
  sleep 1
  local x y w h
  eval "$(xdotool getwindowgeometry --shell "$adjust" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  x=$X y=$Y w=$WIDTH h=$HEIGHT
  xwd -root -silent >"$work/$name.xwd"
  python3 "$here/window_layout.py" crop "$work/$name.xwd" "$x" "$y" "$w" "$h" "$shots/$name.png"
  echo "$name: adjustment window at $x,$y, ${w}x$h"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

shoot windows "$wine" "$exe"
if [ -n "$linux" ]; then
  shoot linux env QT_QPA_PLATFORM=xcb "$linux"
  python3 "$here/window_layout.py" compare "$shots/linux.png" "$shots/windows.png"
else
  python3 "$here/window_layout.py" compare "$shots/windows.png" "$shots/windows.png"
fi

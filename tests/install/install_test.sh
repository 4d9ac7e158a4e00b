#!/usr/bin/env bash
# cmake --install into a scratch DESTDIR puts every file where the desktop, man, bash and udev
# look for it, and says how to finish the udev rule exactly when it lands where udev does not
# read.   install_test.sh CMAKE BUILD_DIR GUI(ON|OFF) MAN_PAGES(ON|OFF)
set -uo pipefail
cmake=${1:?cmake}
build=${2:?build folder}
gui=${3:?ON or OFF}
man=${4:?ON or OFF}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "$*"
  status=1
}
# fail, with what the last install printed
fail_log() {
  fail "$*:"
  cat "$log"
}

# install PREFIX [COMPONENT]: into $work/<n>, the output in $work/<n>.log
n=0
install_to() {
  n=$((n + 1))
  root="$work/$n"
  log="$work/$n.log"
  local component=()
  [ $# -gt 1 ] && component=(--component "$2")
  if ! DESTDIR="$root" "$cmake" --install "$build" --prefix "$1" "${component[@]}" >"$log" 2>&1; then
    fail_log "cmake --install --prefix $1 failed"
  fi
}
expect_file() {
  [ -s "$root$1" ] || fail "missing: $1"
}

install_to /usr/local
expect_file /usr/local/bin/vantorctl
expect_file /usr/local/share/bash-completion/completions/vantorctl
expect_file /usr/local/lib/udev/rules.d/60-vantor-adjust.rules
# udev reads rules under /usr/local/lib too: nothing to say.
! grep -q "udev does not read" "$log" || fail_log "a udev notice for /usr/local"
if [ "$man" = ON ]; then
  expect_file /usr/local/share/man/man1/vantorctl.1
  expect_file /usr/local/share/man/man1/vantorctl-eeprom.1
  # man finds the command's page under the prefix.
  MANPATH="$root/usr/local/share/man" MANWIDTH=80 man -P cat vantorctl-eeprom 2>&1 |
    grep -q "vantorctl eeprom read ADDR" || fail "man vantorctl-eeprom does not show its page"
  [ "$gui" = ON ] && expect_file /usr/local/share/man/man1/vantor-adjust.1
fi
if [ "$gui" = ON ]; then
  expect_file /usr/local/bin/vantor-adjust
  entry=/usr/local/share/applications/vantor-adjust.desktop
  expect_file "$entry"
  icon_name=$(sed -n 's/^Icon=//p' "$root$entry")
  icon=/usr/local/share/icons/hicolor/scalable/apps/$icon_name.svg
  expect_file "$icon"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root$entry" || fail "desktop-file-validate refuses $entry"
  fi
  if command -v rsvg-convert >/dev/null; then
    rsvg-convert -w 48 -h 48 "$root$icon" -o "$work/icon.png" && [ -s "$work/icon.png" ] ||
      fail "the icon does not render: $icon"
  fi
fi

# A prefix udev never reads: the rule still goes under it, and the notice names it and the way
# to where udev reads it.
install_to /opt/vantor-adjust udev
expect_file /opt/vantor-adjust/lib/udev/rules.d/60-vantor-adjust.rules
copy="sudo cp /opt/vantor-adjust/lib/udev/rules.d/60-vantor-adjust.rules /etc/udev/rules.d/"
grep -q "udev does not read /opt/vantor-adjust/lib/udev/rules.d" "$log" ||
  fail_log "no udev notice for /opt/vantor-adjust"
grep -qF "$copy && sudo udevadm control --reload-rules && sudo udevadm trigger" "$log" ||
  fail_log "the udev notice lacks the command $copy ..."
[ "$(grep -c "udev does not read" "$log")" -eq 1 ] || fail_log "the udev notice is repeated"

# Where packagers put it.
install_to /usr udev
expect_file /usr/lib/udev/rules.d/60-vantor-adjust.rules
! grep -q "udev does not read" "$log" || fail_log "a udev notice for /usr"

exit $status

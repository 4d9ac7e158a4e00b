#!/usr/bin/env bash
# The Debian packages installed with dpkg into a scratch root, used from there, and purged.
#   package_test.sh DEB...
# The root starts empty but for a copy of this machine's package database, so dpkg resolves
# the packages' computed dependencies against what is installed here; the programs run from the
# root against this machine's shared libraries. After the purge only the user's data may stay.
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: package_test.sh DEB..."; exit 2; }
debs=()
for deb in "$@"; do debs+=("$(realpath "$deb")"); done
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
status=0
fail() {
  echo "packages: $*"
  status=1
}

admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates" "$root/home/tech"
# This machine's package states, without any of ours a developer may have installed.
awk -v RS= -v ORS='\n\n' '!/^Package: (vantorctl|vantor-adjust)\n/' /var/lib/dpkg/status >"$admin/status"
touch "$admin/available"
# --path-include: a slimmed base image may keep manual pages out; these must go in.
dpkg_root() {
  dpkg --root="$root" --force-not-root --no-triggers --log=/dev/null --path-include='/*' "$@"
}

dpkg_root -i "${debs[@]}" >"$root/dpkg.log" 2>&1 || { cat "$root/dpkg.log"; echo "packages: dpkg -i failed"; exit 1; }
rm -f "$root/dpkg.log"
names=()
for deb in "${debs[@]}"; do names+=("$(dpkg-deb -f "$deb" Package)"); done
version=$(dpkg-deb -f "${debs[0]}" Version)

export HOME=$root/home/tech
unset XDG_DATA_HOME
bin=$root/usr/bin
gui=0
[ -x "$bin/vantor-adjust" ] && gui=1

# One version: the packages' is each program's.
for deb in "${debs[@]}"; do
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$(basename "$deb") is not version $version"
done
programs=(vantorctl)
[ $gui -eq 1 ] && programs+=(vantor-adjust)
for program in "${programs[@]}"; do
  out=$("$bin/$program" --version 2>&1)
  [ "$out" = "$program $version" ] || fail "$program --version says '$out', not '$program $version'"
done

out=$(cd "$HOME" && "$bin/vantorctl" --virtual=q40.bin status 2>&1)
[ "$out" = "Ready to print." ] || fail "vantorctl --virtual=q40.bin status: '$out'"
# A change goes into the service record, and the report names the program by the same version.
(cd "$HOME" && "$bin/vantorctl" --virtual=q40.bin eeprom write 79 03 >/dev/null 2>&1 &&
  "$bin/vantorctl" --virtual=q40.bin report --json report.json >/dev/null 2>&1) ||
  fail "vantorctl eeprom write or report failed"
grep -q "\"vantorctl $version\"" "$HOME/report.json" || fail "the report does not name vantorctl $version"

for program in "${programs[@]}"; do
  page=$(MANPATH=$root/usr/share/man MANWIDTH=80 man -P cat "$program" 2>&1)
  grep -q "^NAME" <<<"$page" && grep -q "$program" <<<"$page" || fail "man $program: $page"
done

# The completion as bash loads it: registered for vantorctl, completing a command and a
# subcommand.
complete_words() {
  bash --norc -c 'source "$1"; shift; complete -p vantorctl >/dev/null || exit 1
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vantorctl; echo "${COMPREPLY[*]}"' \
    sh "$root/usr/share/bash-completion/completions/vantorctl" "$@"
}
[ "$(complete_words vantorctl eepr)" = eeprom ] || fail "completion of 'vantorctl eepr'"
[[ " $(complete_words vantorctl eeprom re) " == *" read "* ]] || fail "completion of 'vantorctl eeprom re'"

[ -s "$root/usr/lib/udev/rules.d/60-vantor-adjust.rules" ] || fail "no udev rule"
if [ $gui -eq 1 ]; then
  entry=$root/usr/share/applications/vantor-adjust.desktop
  desktop-file-validate "$entry" || fail "desktop-file-validate refuses the desktop entry"
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry" | head -n1)
  [ -x "$bin/$exec_name" ] || fail "the desktop entry starts '$exec_name', which is not installed"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  compgen -G "$root/usr/share/icons/hicolor/*/apps/$icon.*" >/dev/null || fail "no icon '$icon'"
  metainfo=$(compgen -G "$root/usr/share/metainfo/*.metainfo.xml" | head -n1)
  if [ -z "$metainfo" ]; then
    fail "no AppStream entry"
  elif ! grep -q "<launchable type=\"desktop-id\">vantor-adjust.desktop<" "$metainfo"; then
    fail "the AppStream entry does not launch vantor-adjust.desktop"
  fi
fi

# Purged, the packages leave nothing but dpkg's own database and the user's data.
dpkg_root --purge "${names[@]}" >"$root/dpkg.log" 2>&1 || { cat "$root/dpkg.log"; fail "dpkg --purge failed"; }
rm -f "$root/dpkg.log"
for name in "${names[@]}"; do
  state=$(dpkg-query --admindir="$admin" -W -f='${db:Status-Status}' "$name" 2>/dev/null)
  [ "$state" = not-installed ] || [ -z "$state" ] || fail "$name is still '$state' after the purge"
done
left=$(cd "$root" && find . -mindepth 1 ! -path './var' ! -path './var/lib' ! -path './var/lib/dpkg' \
  ! -path './var/lib/dpkg/*' ! -path './home' ! -path './home/tech' ! -path './home/tech/*')
[ -z "$left" ] || fail "left after the purge: $left"
[ -s "$HOME/q40.bin" ] || fail "the user's virtual printer file went with the packages"

[ $status -eq 0 ] && echo "packages: ${names[*]} $version installed, used and purged"
exit $status

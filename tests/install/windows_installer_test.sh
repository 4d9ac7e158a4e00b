#!/usr/bin/env bash
# The Windows installer as a technician without administrator rights runs it: installed silently
# for this user alone, both programs answer --version from where it put them, the Start-menu
# entry and the uninstaller's entry are there; the uninstaller then leaves nothing behind.
#   windows_installer_test.sh INSTALLER VERSION [WINE]   (WINEPREFIX and the Wine server as the caller set them)
set -uo pipefail
installer=${1:?installer}
version=${2:?version}
wine=${3:-wine}
prefix=${WINEPREFIX:?WINEPREFIX}
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vantor-adjust'
status=0
fail() {
  echo "windows installer: $*"
  status=1
}
# What the installation left in the user's folders: the programs' folder and the Start-menu entry
# (the programs' own data folder in AppData\Roaming is the tests', not the installer's).
left() {
  find "$prefix/drive_c/users" \( -ipath '*/AppData/Local/Programs/vantor-adjust' \
    -o -ipath '*/Start Menu/Programs/vantor-adjust.lnk' \) 2>/dev/null
}

[ -z "$(left)" ] || { echo "windows installer: an earlier installation is in the way: $(left)"; exit 1; }
timeout 300 "$wine" "$installer" /S /CurrentUser </dev/null >/dev/null 2>&1 || fail "the silent installation failed (exit $?)"
dir=$(find "$prefix/drive_c/users" -path '*/AppData/Local/Programs/vantor-adjust' -type d | head -n1)
[ -n "$dir" ] || { echo "windows installer: nothing installed under the user's programs"; exit 1; }

programs=(vantorctl)
if [ -e "$dir/vantor-adjust.exe" ]; then
  programs+=(vantor-adjust)
  [ -n "$(find "$prefix/drive_c/users" -path '*Start Menu/Programs/vantor-adjust.lnk')" ] ||
    fail "no Start-menu entry"
fi
for program in "${programs[@]}"; do
  out=$(cd "$dir" && timeout 60 "$wine" "$dir/$program.exe" --version 2>/dev/null | tr -d '\r')
  [ "$out" = "$program $version" ] || fail "the installed $program.exe --version says '$out'"
done
for f in README.txt uninstall.exe licences/zlib.txt; do
  [ -s "$dir/$f" ] || fail "missing $f"
done
entry=$("$wine" reg query "$key" 2>/dev/null | tr -d '\r')
grep -q "DisplayVersion *REG_SZ *$version\$" <<<"$entry" || fail "the uninstaller's entry lacks version $version: $entry"

# The uninstaller copies itself away and returns at once: wait for it to finish its work.
timeout 120 "$wine" "$dir/uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the silent uninstallation failed (exit $?)"
for _ in $(seq 60); do
  [ -n "$(left)" ] || break
  sleep 1
done
[ -z "$(left)" ] || fail "the uninstaller left $(left)"
! "$wine" reg query "$key" >/dev/null 2>&1 || fail "the uninstaller left its registry entry"

[ $status -eq 0 ] && echo "windows installer: $(basename "$installer") passes"
exit $status

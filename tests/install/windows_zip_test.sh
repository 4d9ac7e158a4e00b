#!/usr/bin/env bash
# The Windows zip as a technician gets it: unpacked, both programs run under Wine and tell the
# version in the zip's name, in --version and in their version resources; the README, the
# licence notices and (with the desktop program) the relink kit are there, and given the Qt it
# was built with, the kit links a desktop program that runs.
#   windows_zip_test.sh ZIP [WINE [QT]]   (WINEPREFIX and the Wine server as the caller set them)
set -uo pipefail
zip=${1:?zip}
wine=${2:-wine}
qt=${3:-}
name=$(basename "$zip" .zip)
version=${name#vantor-adjust-}
version=${version%-windows-x86_64}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "windows zip: $*"
  status=1
}

unzip -q "$zip" -d "$work" || { echo "cannot unpack $zip"; exit 1; }
dir=$work/$name
[ -d "$dir" ] || { echo "$zip holds no folder $name"; exit 1; }
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "no version in the name $name"
for f in README.txt licences/libpng.txt licences/zlib.txt; do
  [ -s "$dir/$f" ] || fail "missing $f"
done

programs=(vantorctl)
if [ -e "$dir/vantor-adjust.exe" ]; then
  programs+=(vantor-adjust)
  for f in licences/Qt.txt licences/LGPL-3.txt relink/link.sh relink/qt-configure-options.txt \
    relink/qt-recipe/build-qt-mingw.sh; do
    [ -s "$dir/$f" ] || fail "missing $f"
  done
fi

for program in "${programs[@]}"; do
  exe=$dir/$program.exe
  out=$(cd "$work" && timeout 60 "$wine" "$exe" --version 2>/dev/null | tr -d '\r')
  [ "$out" = "$program $version" ] || fail "$program.exe --version says '$out', not '$program $version'"
  # The string table of the version resource, its UTF-16 text with the zeros dropped: each key
  # runs straight into its value.
  strings=$(wrestool -x --raw --type=16 "$exe" 2>/dev/null | tr -d '\0')
  for key in FileVersion ProductVersion; do
    grep -aqF "$key$version" <<<"$strings" || fail "$program.exe: the version resource lacks $key $version"
  done
done

# The command-line tool works from where it was unpacked, on the virtual printer.
out=$(cd "$work" && timeout 60 "$wine" "$dir/vantorctl.exe" --virtual=q40.bin status 2>&1 | tr -d '\r')
rc=$?
[ $rc -eq 0 ] && [ "$out" = "Ready to print." ] || fail "vantorctl.exe --virtual status: exit $rc, '$out'"
[ -s "$work/q40.bin" ] || fail "vantorctl.exe --virtual=q40.bin kept no EEPROM file"

if [ -n "$qt" ] && [ -e "$dir/relink/link.sh" ]; then
  rm -f "$dir/relink/app/vantor-adjust.exe"
  if (cd "$dir/relink" && QT=$qt sh ./link.sh) >"$work/relink.log" 2>&1; then
    out=$(cd "$work" && timeout 60 "$wine" "$dir/relink/app/vantor-adjust.exe" --version 2>/dev/null | tr -d '\r')
    [ "$out" = "vantor-adjust $version" ] || fail "the relinked vantor-adjust.exe --version says '$out'"
  else
    fail "relink/link.sh failed: $(tail -n 5 "$work/relink.log")"
  fi
fi

[ $status -eq 0 ] && echo "windows zip: $name passes"
exit $status

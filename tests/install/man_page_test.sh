#!/usr/bin/env bash
# A manual page renders without a single groff warning and holds each given pattern (extended
# regular expressions, matched against the rendered plain text one line at a time, with runs of
# spaces from justification squeezed to one); a pattern after '!' must match no line.
#   man_page_test.sh PAGE PATTERN...
#   man_page_test.sh --every-command VANTORCTL MAN_DIR: each command 'vantorctl help' lists
#   has its page in MAN_DIR.
set -uo pipefail
if [ "${1:-}" = --every-command ]; then
  ctl=${2:?vantorctl}
  dir=${3:?manual page folder}
  commands=$("$ctl" help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p' | grep -vx help)
  [ -n "$commands" ] || { echo "'vantorctl help' lists no command"; exit 1; }
  status=0
  for c in $commands; do
    [ -s "$dir/vantorctl-$c.1" ] || { echo "no manual page vantorctl-$c.1"; status=1; }
  done
  exit $status
fi
page=${1:?manual page}
shift
if [ ! -s "$page" ]; then
  echo "no manual page at $page"
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Plain text without bold or underlining; minus and hyphen glyphs read back as '-'.
LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -P-cbou "$page" 2>"$work/warnings" |
  sed 's/\xe2\x88\x92/-/g; s/\xe2\x80\x90/-/g' | tr -s ' ' >"$work/text"
status=0
if [ -s "$work/warnings" ]; then
  echo "groff warns about $page:"
  cat "$work/warnings"
  status=1
fi
for pattern in "$@"; do
  if [ "${pattern#!}" != "$pattern" ]; then
    if grep -Eq -- "${pattern#!}" "$work/text"; then
      echo "$page: a line matches /${pattern#!}/:"
      grep -E -- "${pattern#!}" "$work/text"
      status=1
    fi
  elif ! grep -Eq -- "$pattern" "$work/text"; then
    echo "$page: nothing matches /$pattern/"
    status=1
  fi
done
[ "$status" -eq 0 ] || { echo "--- rendered:"; cat "$work/text"; }
exit $status

#!/usr/bin/env bash
# Starts the installed designer with the installed sample under the X display
# in force (xvfb-run) and waits, up to 60 s, for its window to carry the
# title it should; then ends every program of the Wine prefix.
#   installed_designer_title.sh WINE PREFIX EXPECTED-TITLE
set -uo pipefail
wine=$1 expected=$3
export WINEPREFIX=$2 WINEDEBUG=-all WINEPATH=""
# A Wine server still running from a program started without a display would
# take the designer's windows to no display: it is ended first.
wineserver -k 2>/dev/null
wineserver -w
"$wine" 'C:\Ordavel\ordavel.exe' 'C:\Ordavel\samples\waybill.oxf' >/dev/null 2>&1 &
title=""
for _ in $(seq 120); do
  # An untitled document's title comes first, the file's once it is read.
  title="$(xdotool search --name '^Ordavel v' getwindowname 2>/dev/null | head -n1)"
  [ "$title" = "$expected" ] && break
  sleep 0.5
done
wineserver -k 2>/dev/null
wait
[ "$title" = "$expected" ] || { echo "installed designer: title \"$title\", not \"$expected\"" >&2; exit 1; }

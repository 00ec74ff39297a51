#!/usr/bin/env bash
# The real editor under Xvfb, on a copy of the example folder with some problems in it (its
# screenshot is docs/schermate/prepara.png): the row without a picture removed and a row moved by
# the keys, Ctrl+S, and the exercise program then starts on the saved folder. What a save writes,
# the problems and the undo are the unit tests' (tst_editor).
# Usage: e2e_prepara.sh PREPARA DIVEVA EXAMPLE_DIR OUT
set -u
prepara=$1 diveva=$2 example=$3 out=$4
. "$(dirname "$0")/../e2e/lib.sh"
work=$(mktemp -d)
trap 'stop_display; rm -rf "$work"' EXIT
mkdir -p "$out"
folder="$work/classe prima"
cp -r "$example" "$folder"
# A word too wide for the exercise's label, an empty word and a missing picture (row 4).
sed -i -e '3s/.*/cane lupo cecoslovacco\r/' -e '5s/.*/\r/' "$folder/lista.txt"
rm "$folder/jpg/4.jpg"
start_display
"$prepara" "$folder" 2>/dev/null &
APP_PID=$!
editor=$(wait_window '^classe prima — Diveva – prepara gli esercizi$')
sleep 1
shot "$editor" "$out/prepara.png"
press "$editor" ctrl+Home Down Down Down Delete ctrl+Home alt+Down ctrl+s
saved() { [ "$(head -c 12 "$folder/lista.txt")" = "$(printf 'gatto\r\nmela\r\n')" ]; }
within 20 saved || fail "lista.txt begins $(head -c 12 "$folder/lista.txt" | od -c | head -2)"
kill "$APP_PID"; wait "$APP_PID" 2>/dev/null

cd "$folder"
"$diveva" 2>/dev/null &
APP_PID=$!
wait_window 'realizzato dal gruppo' >/dev/null
# Ended here, not by the display going away under it while it still reads pictures ahead.
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true

#!/usr/bin/env bash
# The real editor under Xvfb, on a copy of the example folder with some problems in it (its
# screenshot is docs/schermate/prepara.png): a word too wide for the exercise's label and an
# empty word, shown as warnings in brown, and a missing picture (row 4), an error in red. The row
# without a picture removed and a row moved by the keys, Ctrl+S: the list saved is the example's
# with these changes, every word as it was typed. The exercise program then starts on the saved
# folder. What the problems say, the pictures a save writes and the undo are the unit tests'
# (tst_editor).
# Usage: e2e_prepara.sh PREPARA DIVEVA EXAMPLE_DIR OUT
set -u
prepara=$1 diveva=$2 example=$3 out=$4
. "$(dirname "$0")/../e2e/lib.sh"
work=$(mktemp -d)
trap 'stop_display; rm -rf "$work"' EXIT
mkdir -p "$out"
# The exercise program keeps its pictures in a cache folder of this run's own.
export XDG_CACHE_HOME=$work/cache
folder="$work/classe prima"
cp -r "$example" "$folder"
sed -i -e '3s/.*/cane lupo cecoslovacco\r/' -e '5s/.*/\r/' "$folder/lista.txt"
rm "$folder/jpg/4.jpg"
start_display
"$prepara" "$folder" 2>/dev/null &
APP_PID=$!
editor=$(wait_window '^classe prima — Diveva – prepara gli esercizi$')
# The rows are in once their problems are painted, in the two colours of errors and warnings.
painted() {
    shot "$editor" "$out/prepara.png" &&
        convert "$out/prepara.png" -format %c histogram:info:- >"$work/colours.txt" &&
        grep -qi '#B00000' "$work/colours.txt" && grep -qi '#9A5B00' "$work/colours.txt"
}
within 60 painted || fail "no error in red and warning in brown on the editor within 60 s"
press "$editor" ctrl+Home Down Down Down Delete ctrl+Home alt+Down ctrl+s
# Row 4 gone, rows 1 and 2 swapped; the empty word is written quoted, so that it reads as one.
sed -e '3s/.*/cane lupo cecoslovacco\r/' -e '5s/.*/""\r/' -e 4d "$example/lista.txt" |
    sed -e '1{h;d}' -e '2G' >"$work/expected.txt"
saved() { cmp -s "$work/expected.txt" "$folder/lista.txt"; }
within 60 saved || fail "lista.txt not as expected 60 s after Ctrl+S: $(diff <(od -c "$work/expected.txt") <(od -c "$folder/lista.txt") | head -5)"
kill "$APP_PID"; wait "$APP_PID" 2>/dev/null
echo "saved: the list as edited"

cd "$folder"
"$diveva" 2>/dev/null &
APP_PID=$!
wait_window 'realizzato dal gruppo' >/dev/null
# Ended here, not by the display going away under it while it still reads pictures ahead.
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true

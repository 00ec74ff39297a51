#!/usr/bin/env bash
# The real editor under Xvfb, on a copy of the example folder with some problems in it (its
# screenshot is docs/schermate/prepara.png): a word too wide for the exercise's label and an
# empty word, shown as warnings in brown, and a missing picture (row 4), an error in red. The row
# without a picture removed and a row moved by the keys, Ctrl+S: the list saved is the example's
# with these changes, every word as it was typed. What the problems say, the pictures a save
# writes, the undo and the exercise program on the saved folder are the unit tests' (tst_editor).
# Usage: e2e_prepara.sh PREPARA EXAMPLE_DIR OUT
set -u
prepara=$1 example=$2 out=$3
. "$(dirname "$0")/../e2e/lib.sh"
work=$(mktemp -d)
trap 'stop_display; rm -rf "$work"' EXIT
mkdir -p "$out"
# Whatever the editor caches goes to a folder of this run's own.
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

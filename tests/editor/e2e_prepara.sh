#!/usr/bin/env bash
# The editor under Xvfb on a copy of the example folder with some problems in it: a row moved by
# the keys, Ctrl+S, and the exercise program then opens the saved folder. Leaves a screenshot of
# the editor in OUT (docs/schermate/prepara.png is this picture).
# Usage: e2e_prepara.sh PREPARA DIVEVA EXAMPLE_DIR OUT
set -u
prepara=$1 diveva=$2 example=$3 out=$4
. "$(dirname "$0")/../e2e/lib.sh"
work=$(mktemp -d)
trap 'stop_display; rm -rf "$work"' EXIT
mkdir -p "$out"
folder="$work/classe prima"
cp -r "$example" "$folder"
# A word too wide for the exercise's label, an empty word and a missing picture.
sed -i -e '3s/.*/cane lupo cecoslovacco\r/' -e '5s/.*/\r/' "$folder/lista.txt"
rm "$folder/jpg/4.jpg"
start_display
"$prepara" "$folder" 2>"$work/stderr.txt" &
APP_PID=$!
editor=$(wait_window '^classe prima — Diveva – prepara gli esercizi$')
sleep 1
shot "$editor" "$out/prepara.png"

# The missing picture blocks saving: the teacher is told and nothing changes.
before=$(cat "$folder/lista.txt" | md5sum)
press "$editor" ctrl+s
warning=$(wait_window '^Diveva – prepara gli esercizi$')
press "$warning" Return
wait_no_window '^Diveva – prepara gli esercizi$'
[ "$(md5sum <"$folder/lista.txt")" = "$before" ] || fail "a blocked save changed lista.txt"
cp "$example/jpg/4.jpg" "$folder/jpg/4.jpg"

# Reopened with the picture back (Ctrl+O is a dialog: the test starts the editor again).
kill "$APP_PID"; wait "$APP_PID" 2>/dev/null
"$prepara" "$folder" 2>>"$work/stderr.txt" &
APP_PID=$!
editor=$(wait_window '^classe prima — Diveva – prepara gli esercizi$')
press "$editor" ctrl+Home alt+Down              # the first row one down
wait_window '^classe prima\* — Diveva' >/dev/null
press "$editor" ctrl+s
wait_window '^classe prima — Diveva – prepara gli esercizi$' >/dev/null
[ "$(head -c 12 "$folder/lista.txt")" = "$(printf 'gatto\r\nmela\r\n')" ] \
    || fail "lista.txt begins $(head -c 12 "$folder/lista.txt" | od -c | head -2)"
cmp -s "$folder/jpg/1.jpg" "$example/jpg/2.jpg" && cmp -s "$folder/jpg/2.jpg" "$example/jpg/1.jpg" \
    || fail "the pictures did not follow their words"
[ -f "$folder/.diveva-prepara/copia/lista.txt" ] || fail "no backup of the old content"
echo "editor: blocked save refused, row moved and saved, backup kept"
kill "$APP_PID"; wait "$APP_PID" 2>/dev/null

cd "$folder"
"$diveva" 2>"$work/stderr.txt" &
APP_PID=$!
wait_window 'realizzato dal gruppo' >/dev/null
echo "exercise program: starts on the saved folder"
# Ended here, not by the display going away under it while it still reads pictures ahead.
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true

#!/usr/bin/env bash
# A whole session with the real program: start screen, menu, both exercises answered by mouse
# and keyboard, back to the menu, exit with Yes. Then a folder without a word list.
# The display's bells are counted all along: one per answer, two per reset, one per exercise
# opened, none for anything else.
# Usage: session.sh PROGRAM EXAMPLE_FOLDER OUTPUT_FOLDER BELL_LISTENER
set -u
program=$1 example=$2 out=$3 listener=$4
. "$(dirname "$0")/lib.sh"
mkdir -p "$out"
work=$(mktemp -d)
trap 'stop_display; rm -rf "$work"' EXIT
cp -r "$example" "$work/cartella"
start_display
start_bells "$listener" "$out/bells.txt"

cd "$work/cartella"
"$program" 2>"$out/stderr.txt" &
APP_PID=$!

avvio=$(wait_window 'realizzato dal gruppo')
shot "$avvio" "$out/avvio.png"
click "$avvio" 300 420                        # bare window, below the pictures
menu=$(wait_window '^Divevare parole/immagini$')
wait_no_window 'realizzato dal gruppo'
shot "$menu" "$out/menu.png"
bells 0 "the start screen and the menu"

# Picture to word, answered with the keys 1 to 6 and with the mouse.
click "$menu" 340 224                         # Command2
trova=$(wait_window "^Diveva l'immagine alla parola$")
wait_no_window '^Divevare parole/immagini$'
bells 1 "opening FormTrova"
press "$trova" 1 2 3 4 5 6
bells 6 "six answers by key"
click "$trova" 200 180                        # word slot 0
bells 1 "an answer by mouse"
shot "$trova" "$out/trova.png"
click "$trova" 316 56                         # AzzeraPunteggio, which takes the focus
bells 2 "the reset button"
press "$trova" Tab                            # the tab order wraps round to Command1
press "$trova" Return                         # Command1 has the focus
question=$(wait_window '^Diveva PAROLE/IMMAGINI$')
shot "$question" "$out/domanda-menu.png"
press "$question" Return                      # Yes is the default
menu=$(wait_window '^Divevare parole/immagini$')
wait_no_window "^Diveva l'immagine alla parola$"
bells 0 "the back-to-menu question and Yes"

# Word to picture.
click "$menu" 340 128                         # Command4
trova2=$(wait_window "^Riconosci l'immagine corrispondente alla parola$")
bells 1 "opening FormTrova2"
for xy in "220 176" "380 176" "540 176" "220 320" "380 320" "540 320"; do
    click "$trova2" $xy
done
bells 6 "six answers by mouse"
press "$trova2" KP_1 KP_4
bells 2 "two answers on the keypad"
shot "$trova2" "$out/trova2.png"
click "$trova2" 324 48                        # AzzeraPunteggio
bells 2 "the reset button"
press "$trova2" Tab                           # back to Command1
press "$trova2" space
question=$(wait_window '^Diveva PAROLE/IMMAGINI$')
press "$question" Return
menu=$(wait_window '^Divevare parole/immagini$')
bells 0 "the back-to-menu question and Yes"

# Leave: Enter on the focused exit button, then Yes.
press "$menu" Return
question=$(wait_window '^Diveva PAROLE/IMMAGINI$')
shot "$question" "$out/domanda-uscita.png"
press "$question" Return
wait_exit "$APP_PID"
APP_PID=
[ "$EXIT_STATUS" -eq 0 ] || fail "exit status $EXIT_STATUS after Yes to the exit question"
bells 0 "the exit question and Yes"
echo "session: exit status 0"

# A folder without a word list: the error report names the file; the program ends non-zero.
mkdir "$work/vuota"
cd "$work/vuota"
"$program" 2>"$out/stderr-vuota.txt" &
APP_PID=$!
report=$(wait_window '^Diveva PAROLE/IMMAGINI$')
shot "$report" "$out/errore.png"
xdotool search --onlyvisible --name 'realizzato dal gruppo' >/dev/null && fail "a screen opened"
press "$report" Return
wait_exit "$APP_PID"
APP_PID=
[ "$EXIT_STATUS" -ne 0 ] || fail "exit status 0 after the error report"
bells 0 "the error report"
grep -q "$work/vuota/lista.txt" "$out/stderr-vuota.txt" || fail "the report does not name the file"
grep -q "file non trovato" "$out/stderr-vuota.txt" || fail "the report does not give the cause"
echo "missing list: exit status $EXIT_STATUS, report names the file"
echo "1 passed, 0 failed"

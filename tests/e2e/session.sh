#!/usr/bin/env bash
# A whole session with the real program: start screen, menu, picture to word answered by keyboard
# and mouse, exit with Yes; then word to picture by mouse, with voices. Then a folder without a
# word list, and a folder of large photos whose display goes away while they are read ahead.
# The display's bells are counted all along: one per answer, one per exercise opened, none for
# anything else.
# The program writes nothing: it runs in a read-only copy of the example folder, as a user
# without root rights (nobody, when the test runs as root: root writes through any permission
# bits), and afterwards the folder's listing and checksums must be as before. Under strace, any
# attempt to create, open for writing, remove or rename something in the folder fails the test
# too, since an attempt the permissions stopped would leave no mark on the checksums.
# Usage: session.sh PROGRAM EXAMPLE_FOLDER OUTPUT_FOLDER
set -u
program=$1 example=$2 out=$3
tone=$(cd "$(dirname "$0")/.." && pwd)/voices/fixtures/tone.ogg
. "$(dirname "$0")/lib.sh"
mkdir -p "$out"
work=$(mktemp -d)
trap 'stop_display; chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
# The program is copied next to the folder: the build folder need not be open to nobody.
install -m 755 "$program" "$work/diveva"
folder=$work/cartella home=$work/casa
cp -r "$example" "$folder"
chmod -R a-w "$folder"
mkdir -m 700 "$home"
mkdir "$work/vuota"
RUN_AS=(env HOME="$home" XDG_RUNTIME_DIR="$home" XDG_CACHE_HOME="$home/cache" XDG_CONFIG_HOME="$home/config")
if [ "$(id -u)" -eq 0 ]; then
    chown nobody:nogroup "$home"
    RUN_AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups -- "${RUN_AS[@]}")
fi
# The trace of writes needs ptrace, and so does a sanitizer's leak checker (it stops the threads
# of the process through it): a run that checks leaks leaves the trace to the plain run, and says
# so. Any other run traces, or fails.
tracer=()
if [[ ${ASAN_OPTIONS:-} == *detect_leaks=1* ]]; then
    echo "session: leaks checked, so the trace of writes is left to the plain pass"
else
    "${RUN_AS[@]}" strace -f -o /dev/null true 2>"$out/strace-check.txt" ||
        fail "strace cannot trace here: $(cat "$out/strace-check.txt")"
    tracer=(env ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
            strace -f -qq -y --seccomp-bpf -e trace=%file -o "$home/strace.txt")
fi

# Kind, permissions, size, modification time and name of every entry, then every file's checksum.
snapshot() { (cd "$folder" && find . -printf '%y %m %s %T@ %p\n' -type f -exec sha256sum {} + | LC_ALL=C sort); }
snapshot >"$out/prima.txt"

start_display
start_bells "$out/bells.txt"
launch "$folder" "$out/stderr.txt" "${tracer[@]}" "$work/diveva"

avvio=$(wait_window 'realizzato dal gruppo')
pid=$(xdotool getwindowpid "$avvio")
click "$avvio" 300 420                        # bare window, below the pictures
menu=$(wait_window '^Divevare parole/immagini$')

# Picture to word, answered with the keys 1 to 6 and with the mouse.
click "$menu" 340 224                         # Command2
trova=$(wait_window "^Diveva l'immagine alla parola$")
bells 1 "opening FormTrova"
for key in 1 2 3 4 5 6; do answer "$trova" $key; done
bells 6 "six answers by key"
answer "$trova" 200 180                       # word slot 0
bells 1 "an answer by mouse"
# Leave: Space on Command1, which has had the focus since the screen opened, and Yes; then Enter
# on the menu's focused exit button, and Yes.
leave() {
    press "$1" space
    press "$(wait_window '^Diveva PAROLE/IMMAGINI$')" Return
    press "$(wait_window '^Divevare parole/immagini$')" Return
    press "$(wait_window '^Diveva PAROLE/IMMAGINI$')" Return
    wait_exit "$pid"
}
leave "$trova"
[ "$EXIT_STATUS" -eq 0 ] || fail "exit status $EXIT_STATUS after Yes to the exit question"
bells_settled "the exit question and Yes"
echo "session: exit status 0, nothing the program started left running"

snapshot >"$out/dopo.txt"
diff -u "$out/prima.txt" "$out/dopo.txt" || fail "the folder changed during the session"
echo "session: $(grep -c '^f ' "$out/prima.txt") files, listing and checksums unchanged"
if [ ${#tracer[@]} -gt 0 ]; then
    # Calls that change the file system, and opens that ask for writing, on a name inside the
    # folder: a name relative to the working directory (the folder), a whole path in it, or a name
    # relative to a descriptor of it (strace -y shows each descriptor's path; a whole path beside
    # one, such as GStreamer's cache in the home folder, does not use it).
    changes='creat|mkdir|mknod|unlink|rename|link|symlink|truncate|utime|chmod|fchmodat|chown|fchownat|lchown|l?setxattr|l?removexattr'
    inside="\\(\"($folder|[^/\"])|, \"$folder|AT_FDCWD, \"[^/\"]|\", \"[^/\"]|<$folder(/[^>]*)?>, \"[^/\"]"
    grep -E "^[0-9]+ +(($changes)[a-z0-9]*\(|open(at2?)?\(.*(O_WRONLY|O_RDWR|O_CREAT|O_TRUNC))" "$home/strace.txt" |
        grep -E "$inside" >"$out/scritture.txt"
    [ -s "$out/scritture.txt" ] && { cat "$out/scritture.txt" >&2; fail "the program tried to write in the folder"; }
    grep -qE "\"(lista\.txt|$folder/lista\.txt)\"" "$home/strace.txt" || fail "the trace does not show the list read"
    echo "session: $(grep -c . "$home/strace.txt") file calls traced, none writing in the folder"
fi

# A folder with a voice for every word (a tone of known level in place of the example's) and
# settings of its own (three choices, capitals, no beep), heard through a PulseAudio server of the
# test's own: its null sink's monitor is recorded from the start. The word asked is heard after
# its question appears, and nothing before it. A missing server fails the test. The program runs
# with --schermo-intero: its windows fill the 1024 x 768 display, the design scaled by 1024/632
# and centred (at).
voci=$work/voci pulse=$work/pulse
cp -r "$example" "$voci"
mkdir -p "$voci/voce" "$pulse"
for n in $(seq "$(grep -c '' "$voci/lista.txt")"); do cp "$tone" "$voci/voce/$n.ogg"; done
printf '[esercizi]\nscelte=3\nscrittura=maiuscolo\nsegnale-acustico=no\n' >"$voci/diveva.ini"
chmod -R a-w "$voci"
chmod 755 "$pulse"
env HOME="$pulse" XDG_RUNTIME_DIR="$pulse" XDG_CONFIG_HOME="$pulse" pulseaudio -n \
    --daemonize=no --use-pid-file=no --exit-idle-time=-1 --log-target=stderr \
    --load="module-null-sink sink_name=voci rate=48000" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$pulse/native" 2>"$out/pulseaudio.txt" &
PULSE_PID=$!
export PULSE_SERVER=unix:$pulse/native
within 20 pactl info >/dev/null 2>&1 || fail "no sound server (pulseaudio) could be started"
parec -d voci.monitor --raw --channels=1 --rate=24000 --format=s16le --latency-msec=20 >"$out/voci.raw" &
PAREC_PID=$!
trap 'kill $PAREC_PID $PULSE_PID 2>/dev/null; stop_display; chmod -R u+w "$work"; rm -rf "$work"' EXIT
# recorded: bytes recorded so far (48000 a second). loud FROM [FILE]: a sample past a tenth of
# full scale from byte FROM on.
recorded() { stat -c %s "$out/voci.raw"; }
loud() { tail -c +$(($1 + 1)) "${2:-$out/voci.raw}" | od -An -td2 -v -w2 | awk '$1 > 3276 || $1 < -3276 { found = 1; exit } END { exit !found }'; }
grown() { [ "$(recorded)" -ge "$1" ]; }
at() { echo $(($1 * 1024 / 632)) $(((768 - 453 * 1024 / 632) / 2 + $2 * 1024 / 632)); }
launch "$voci" "$out/stderr-voci.txt" env PULSE_SERVER="$PULSE_SERVER" "$work/diveva" --schermo-intero
avvio=$(wait_window 'realizzato dal gruppo')
pid=$(xdotool getwindowpid "$avvio")
xwininfo -id "$avvio" | grep -q 'Width: 1024' || fail "--schermo-intero: the window does not fill the screen"
click "$avvio" $(at 300 420)
menu=$(wait_window '^Divevare parole/immagini$')
# A second of the menu on the recording, then the exercise.
within 10 grown $(($(recorded) + 48000)) || fail "the sink's monitor records nothing"
asked=$(recorded)
click "$menu" $(at 340 128)
trova2=$(wait_window "^Riconosci l'immagine corrispondente alla parola$")
head -c "$asked" "$out/voci.raw" >"$out/voci-prima.raw"
loud 0 "$out/voci-prima.raw" && fail "a voice was heard before the question"
within 10 loud "$asked" || fail "the word asked is not heard within 10 s of its question"
echo "voices: the word asked heard $(( ($(recorded) - asked) / 48 )) ms or less after the exercise opened, silence before"
leave "$trova2"
[ "$EXIT_STATUS" -eq 0 ] || fail "exit status $EXIT_STATUS with voices"
[ -s "$out/stderr-voci.txt" ] && { cat "$out/stderr-voci.txt" >&2; fail "the program wrote to standard error"; }
kill $PAREC_PID $PULSE_PID 2>/dev/null
unset PULSE_SERVER
echo "voices: exit status 0 after Yes, nothing on standard error"

# A folder without a word list: the error report names the file; the program ends non-zero.
launch "$work/vuota" "$out/stderr-vuota.txt" "$work/diveva"
report=$(wait_window '^Diveva PAROLE/IMMAGINI$')
pid=$(xdotool getwindowpid "$report")
press "$report" Return
wait_exit "$pid"
[ "$EXIT_STATUS" -ne 0 ] || fail "exit status 0 after the error report"
bells_settled "the error report"
grep -q "$work/vuota/lista.txt" "$out/stderr-vuota.txt" || fail "the report does not name the file"
grep -q "file non trovato" "$out/stderr-vuota.txt" || fail "the report does not give the cause"
echo "missing list: exit status $EXIT_STATUS, report names the file"

# The display goes away while the reading ahead decodes 60 photos of 6000 x 4000 (progressive,
# 4:4:4). Qt's X11 plugin then ends the program through exit(), which destroys the objects the
# workers use unless they are stopped first. The program must end by itself, with the status of
# a lost display (1) and no report of a crash. It was busy: the reading ahead had stored some
# photos before the display went, and had not stored them all when the program ended.
big=$work/grande cache=$home/grande-cache/diveva/immagini
mkdir -p "$big/jpg"
for n in $(seq 60); do
    head -c -1 "$(dirname "$0")/../fuzz/corpus/jpegdecode/progressive-444-6000x4000.bin" >"$big/jpg/$n.jpg"
    echo "foto$n"
done >"$big/lista.txt"
launch "$big" "$out/stderr-display.txt" env XDG_CACHE_HOME="$home/grande-cache" "$work/diveva"
pid=$(xdotool getwindowpid "$(wait_window 'realizzato dal gruppo')")
# The start screen's four, then two photos read ahead: two boxes each, and the start screen's.
stored() { [ "$(find "$cache" -name '*.img' | wc -l)" -ge "$1" ]; }
within 120 stored 10 || fail "the reading ahead stored no photo within 120 s"
kill "$XVFB_PID"
wait_exit "$pid"
stored=$(find "$cache" -name '*.img' | wc -l)
[ "$stored" -lt 180 ] || fail "the reading ahead had ended (all 180 pictures stored) when the display went"
[ "$EXIT_STATUS" -eq 1 ] || fail "exit status $EXIT_STATUS once the display went, expected 1"
grep -E 'destroying locked|Segmentation|Aborted|terminate called|Sanitizer|runtime error' "$out/stderr-display.txt" &&
    fail "a crash was reported once the display went"
echo "display gone: exit status 1, no crash, $stored of 180 pictures read ahead"
echo "1 passed, 0 failed"

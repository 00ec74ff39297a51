# Helpers for the end-to-end tests: the real program in an Xvfb display, driven by xdotool.
# Every wait has a timeout, so a test fails rather than hangs.

# A failure inside $(...) ends the whole test too, not just the subshell.
fail() { echo "FAIL: $*" >&2; [ "$BASHPID" = "$$" ] || kill -TERM $$; exit 1; }
trap 'exit 1' TERM

# within SECONDS COMMAND...: polls COMMAND until it succeeds; false after SECONDS.
within() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.1
    done
}

# start_display: starts Xvfb on a free display and exports DISPLAY; stopped at exit (by the
# caller's own EXIT trap if it has one). Xvfb picks the display itself (-displayfd), so tests
# running at the same time never share one. -noreset: by default the server resets when its last
# client leaves, and refuses whoever connects meanwhile. It writes the display's number once it
# takes connections.
start_display() {
    local number
    number=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$number" >/dev/null 2>&1 &
    XVFB_PID=$!
    [ -n "$(trap -p EXIT)" ] || trap stop_display EXIT
    within 30 grep -q '^[0-9][0-9]*$' "$number" || fail "no Xvfb display could be started within 30 s"
    export DISPLAY=":$(cat "$number")"
    rm -f "$number"
}
stop_display() {
    local left p
    left=$(marked)
    [ -n "$left" ] && kill $left 2>/dev/null && within 5 unmarked
    # A program the test started itself and has not ended (a failure) ends before the display:
    # one that loses its display while its threads work may never end.
    for p in "${APP_PID:-}" "${BELLS_PID:-}" "${XVFB_PID:-}"; do [ -n "$p" ] && kill "$p" 2>/dev/null; done
    wait 2>/dev/null || true
}

# launch DIR STDERR COMMAND...: COMMAND in DIR, as RUN_AS (a command prefix, if set), under a
# session bus of its own: without one, libdbus would start a bus daemon for the display that
# outlives the program. Everything started carries this run's marker in its environment.
launch() {
    MARK=$$-$RANDOM
    (cd "$1" && exec env DIVEVA_E2E="$MARK" "${RUN_AS[@]}" dbus-run-session -- "${@:3}") 2>"$2" &
    APP_PID=$!
}
# marked: the processes that carry the marker of the last launch.
marked() { [ -n "${MARK:-}" ] && grep -lsz "^DIVEVA_E2E=$MARK\$" /proc/[0-9]*/environ | cut -d/ -f3; }
unmarked() { [ -z "$(marked)" ]; }
gone() { ! kill -0 "$1" 2>/dev/null; }

# wait_exit PID: waits for the program's own process, then for everything it or its bus started
# to end; EXIT_STATUS is the program's, handed on by the bus and the tracer around it.
wait_exit() {
    within 60 gone "$1" || fail "the program did not end within 60 s"
    within 20 unmarked || fail "left running after the program: $(ps -o pid=,args= -p "$(marked | paste -sd,)")"
    wait "$APP_PID"
    EXIT_STATUS=$?
    APP_PID=
}

# wait_window REGEX: prints the id of the visible window whose title matches.
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 | grep .; }
wait_window() { within 60 visible "$1" || fail "no window titled /$1/ within 60 s"; }

# click WID X Y: a left click at client coordinates of the window, once it is on screen.
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
click() {
    within 20 viewable "$1" || fail "window $1 not on screen within 20 s"
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

# press WID KEY...: keys to the window, once it has the keyboard (there is no window manager to
# give it).
press() {
    timeout 20 xdotool windowfocus --sync "$1" || fail "window $1 does not take the keyboard within 20 s"
    xdotool key --clearmodifiers "${@:2}"
}

# shot WID FILE: a screenshot of one window (-silent: import rings the bell otherwise).
shot() { import -silent -window "$1" "$2"; }

# start_bells FILE: the display's bells, one line "bell" each in FILE, written by xkbevd (XKB's
# event daemon). Once it listens, it rings a bell of its own named "ImAlive", which it writes as
# "ready"; the program's bells have no name, and the test's own marker bells are named "fine".
start_bells() {
    BELLS_FILE=$1 BELLS_EXPECTED=0 ANSWERS=0 MARKERS=0
    : >"$1"
    printf 'Bell(ImAlive) shell "echo ready >>\047%s\047"\nBell(fine) shell "echo fine >>\047%s\047"\nBell() shell "echo bell >>\047%s\047"\n' "$1" "$1" "$1" >"$1.cf"
    xkbevd -cfg "$1.cf" >/dev/null 2>&1 &
    BELLS_PID=$!
    within 10 grep -qx ready "$1" || fail "xkbevd does not report the display's bells"
}
bells_rung() { grep -c '^bell' "$BELLS_FILE"; }
rung() { [ "$(bells_rung)" -ge "$1" ]; }

# answer WID KEY, answer WID X Y: one answer, then its bell before the next: the program keeps
# at most one bell waiting behind the one sounding.
answer() {
    if [ $# -eq 2 ]; then press "$@"; else click "$@"; fi
    within 60 rung $((BELLS_EXPECTED + ++ANSWERS)) || fail "no bell for answer $ANSWERS within 60 s"
}

# bells N WHAT: WHAT rang N bells. The program spaces bells out: this waits for them, and fails
# on any more that have come by then. One that comes later still is caught by a later count, at
# the latest by bells_settled once the program has ended.
bells() {
    local n
    BELLS_EXPECTED=$((BELLS_EXPECTED + $1)) ANSWERS=0
    within 60 rung "$BELLS_EXPECTED" || fail "$2: $(($(bells_rung) - BELLS_EXPECTED + $1)) bells within 60 s, expected $1"
    n=$(bells_rung)
    [ "$n" -eq "$BELLS_EXPECTED" ] || fail "$2: $((n - BELLS_EXPECTED + $1)) bells, expected $1"
    echo "bells: $1 for $2, $n in all"
}

# bells_settled WHAT: after the program has ended, every bell it rang is counted. The display
# handles a client's requests in order and xkbevd reports the bells in order, so a bell of the
# test's own, rung now, is reported after all of them.
markers() { [ "$(grep -c '^fine' "$BELLS_FILE")" -ge "$MARKERS" ]; }
bells_settled() {
    MARKERS=$((MARKERS + 1))
    xkbbell -nobeep fine || fail "xkbbell could not ring"
    within 60 markers || fail "the marker bell was not reported within 60 s"
    [ "$(bells_rung)" -eq "$BELLS_EXPECTED" ] || fail "$1: $(bells_rung) bells in all once the program ended, expected $BELLS_EXPECTED"
    echo "bells: $BELLS_EXPECTED in all once the program ended, after $1"
}

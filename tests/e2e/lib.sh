# Helpers for the end-to-end tests: the real program in an Xvfb display, driven by xdotool.
# Every wait has a timeout, so a test fails rather than hangs.

# A failure inside $(...) ends the whole test too, not just the subshell.
fail() { echo "FAIL: $*" >&2; [ "$BASHPID" = "$$" ] || kill -TERM $$; exit 1; }
trap 'exit 1' TERM

# start_display: starts Xvfb on a free display and exports DISPLAY; stopped at exit (by the
# caller's own EXIT trap if it has one). Xvfb picks the display itself (-displayfd), so tests
# running at the same time never share one. -noreset: by default the server resets when its last
# client leaves, and refuses whoever connects meanwhile (the program, after xdpyinfo below).
start_display() {
    local number i
    number=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$number" >/dev/null 2>&1 &
    XVFB_PID=$!
    [ -n "$(trap -p EXIT)" ] || trap stop_display EXIT
    for i in $(seq 100); do
        if grep -q '^[0-9][0-9]*$' "$number"; then
            export DISPLAY=":$(cat "$number")"
            rm -f "$number"
            xdpyinfo >/dev/null 2>&1 && return 0
            break
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$number"
    fail "no Xvfb display could be started"
}
stop_display() {
    [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
    [ -n "${BELLS_PID:-}" ] && kill "$BELLS_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null || true
}

# wait_window REGEX [SECONDS]: prints the id of the visible window whose title matches.
wait_window() {
    local re=$1 limit=${2:-20} i id
    for i in $(seq $((limit * 10))); do
        id=$(xdotool search --onlyvisible --name "$re" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    fail "no window titled /$re/ within $limit s"
}

# wait_no_window REGEX [SECONDS]
wait_no_window() {
    local re=$1 limit=${2:-20} i
    for i in $(seq $((limit * 10))); do
        xdotool search --onlyvisible --name "$re" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "window /$re/ still open after $limit s"
}

# wait_exit PID [SECONDS]: waits for the program to end; sets EXIT_STATUS.
wait_exit() {
    local pid=$1 limit=${2:-20} i
    for i in $(seq $((limit * 10))); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"; EXIT_STATUS=$?
            return 0
        fi
        sleep 0.1
    done
    fail "the program did not end within $limit s"
}

# focus WID: gives the window the keyboard (there is no window manager to do it).
focus() { timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.2; }

# click WID X Y: a left click at client coordinates of the window.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.2; }

# press WID KEY...: keys sent to the focused window.
press() { local w=$1; shift; focus "$w"; xdotool key --clearmodifiers "$@"; sleep 0.2; }

# shot WID FILE: a screenshot of one window (-silent: import rings the bell otherwise).
shot() { import -silent -window "$1" "$2"; }

# start_bells LISTENER FILE: the display's bells, one line each in FILE (tests/e2e/bell_listener).
start_bells() {
    BELLS_FILE=$2 BELLS_EXPECTED=0
    "$1" >"$BELLS_FILE" &
    BELLS_PID=$!
    local i
    for i in $(seq 50); do
        grep -qx ready "$BELLS_FILE" && return 0
        kill -0 "$BELLS_PID" 2>/dev/null || break
        sleep 0.1
    done
    fail "the bell listener did not start"
}

# bells N WHAT: WHAT rang N bells. The program spaces bells out, so this waits up to 5 s for
# them to arrive, then half a second more for any bell that should not be there.
bells() {
    local n i
    BELLS_EXPECTED=$((BELLS_EXPECTED + $1))
    for i in $(seq 50); do
        [ "$(grep -c '^bell' "$BELLS_FILE")" -ge "$BELLS_EXPECTED" ] && break
        sleep 0.1
    done
    sleep 0.5
    n=$(grep -c '^bell' "$BELLS_FILE")
    [ "$n" -eq "$BELLS_EXPECTED" ] || fail "$2: $((n - BELLS_EXPECTED + $1)) bells, expected $1"
    echo "bells: $1 for $2, $n in all"
}

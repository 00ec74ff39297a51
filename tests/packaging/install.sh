#!/usr/bin/env bash
# cmake --install into a fresh prefix (with a blank in its name), then: the installed tree has
# what a desktop needs, the launcher script starts the program in the right folder, and the
# installed program starts on its example folder.
# Usage: install.sh BUILD_DIR SOURCE_DIR APP_ID
set -u
build=$1 source=$2 id=$3
here=$(dirname "$0")
. "$here/../e2e/lib.sh"
. "$here/lib.sh"
work=$(mktemp -d)
# The program's own messages are shown whatever the outcome, so an unexpected end leaves its cause.
trap 'stop_display; [ -s "$work/stderr.txt" ] && sed "s/^/program: /" "$work/stderr.txt"; rm -rf "$work"' EXIT
prefix="$work/prefisso con spazi"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 \
    || { cat "$work/install.log"; fail "cmake --install"; }
check_tree "$prefix" "$source" "$id"

# The launcher script with a stand-in program that prints the folder it was started in.
stub="$work/stub"
mkdir -p "$stub/bin" "$work/una cartella"
cp "$prefix/bin/diveva-cartella" "$stub/bin/"
printf '#!/bin/sh\npwd -P\n' >"$stub/bin/diveva"
chmod +x "$stub/bin/diveva"
: >"$work/una cartella/lista.txt"
started_in() { [ "$("${@:2}")" = "$1" ] || fail "'${*:2}' started the program in $("${@:2}"), not $1"; }
started_in "$work/una cartella" "$stub/bin/diveva-cartella" "$work/una cartella"
started_in "$work/una cartella" "$stub/bin/diveva-cartella" "$work/una cartella/lista.txt"
echo "launcher script: a folder, a file's folder"

# The real thing: the menu's launcher starts the installed program on the example folder.
start_display
launch "$work" "$work/stderr.txt" "$prefix/bin/diveva-cartella"
cwd=$(readlink "/proc/$(xdotool getwindowpid "$(wait_window 'realizzato dal gruppo')")/cwd")
[ "$cwd" = "$prefix/share/diveva/esempio" ] || fail "the program runs in $cwd"
echo "installed program: start screen shown, working in the example folder"

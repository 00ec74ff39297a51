#!/usr/bin/env bash
# cmake --install into a fresh prefix (with a blank in its name), then: the installed tree has
# what a desktop needs (checked with the desktop's own validators), the launcher script starts the
# program in the right folder, and the installed program starts on its example folder. Then the
# Debian package, built with cpack: its control fields and dependencies, and its files, unpacked
# with dpkg -x, which must be the installed tree under /usr.
# Usage: packaging.sh BUILD_DIR SOURCE_DIR APP_ID VERSION
set -u
build=$1 source=$2 id=$3 version=$4
. "$(dirname "$0")/../e2e/lib.sh"
work=$(mktemp -d)
# The installed program keeps its pictures in a cache folder of this run's own.
export XDG_CACHE_HOME=$work/cache
# The program's own messages are shown whatever the outcome, so an unexpected end leaves its cause.
trap 'stop_display; [ -s "$work/stderr.txt" ] && sed "s/^/program: /" "$work/stderr.txt"; rm -rf "$work"' EXIT
prefix="$work/prefisso con spazi" apps="$work/prefisso con spazi/share/applications"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 \
    || { cat "$work/install.log"; fail "cmake --install"; }
# entry_is FILE KEY VALUE, in the entry's main group
entry_is() {
    local got
    got=$(sed -n "/^\[Desktop Entry\]/,/^\[/ s/^$2=//p" "$1")
    [ "$got" = "$3" ] || fail "$(basename "$1"): $2=$got, expected $3"
}
file -b "$prefix/share/icons/hicolor/32x32/apps/$id.png" | grep -q '^PNG image data, 32 x 32,' \
    || fail "no 32x32 PNG icon"
file -b "$prefix/share/icons/hicolor/scalable/apps/$id.svg" | grep -q '^SVG' \
    || fail "no scalable icon"
desktop-file-validate "$apps/$id.desktop" "$apps/diveva-cartella.desktop" \
    || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null \
    || { appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"; fail "appstreamcli validate"; }
# The entries start the launcher script (tried below), the menu's on the example folder and the
# other on the folder chosen, with the icon installed above.
entry_is "$apps/$id.desktop" Exec 'diveva-cartella'
entry_is "$apps/$id.desktop" Icon "$id"
entry_is "$apps/diveva-cartella.desktop" Exec 'diveva-cartella %f'
diff -r "$source/esempio" "$prefix/share/diveva/esempio" >/dev/null \
    || fail "the installed example folder differs from esempio/"
echo "tree under $prefix: complete, entries and metainfo valid"

# The launcher script with a stand-in program that prints the folder it was given.
stub="$work/stub"
mkdir -p "$stub/bin" "$work/una cartella"
cp "$prefix/bin/diveva-cartella" "$stub/bin/"
printf '#!/bin/sh\necho "$@"\n' >"$stub/bin/diveva"
chmod +x "$stub/bin/diveva"
: >"$work/una cartella/lista.txt"
started_in() { [ "$("${@:2}")" = "$1" ] || fail "'${*:2}' started the program on $("${@:2}"), not $1"; }
started_in "$work/una cartella" "$stub/bin/diveva-cartella" "$work/una cartella"
started_in "$work/una cartella" "$stub/bin/diveva-cartella" "$work/una cartella/lista.txt"
started_in "--schermo-intero $work/una cartella" "$stub/bin/diveva-cartella" --schermo-intero "$work/una cartella"
echo "launcher script: a folder, a file's folder, full screen passed on"

# The arguments of the three programs, where there is no display: help and version, in Italian,
# and an option that does not exist, refused.
for p in diveva diveva-prepara diveva-cartella; do
    run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$p" "$@"; }
    run --help | grep -q "^Utilizzo: $p \[" || fail "$p --help: $(run --help 2>&1)"
    [ "$(run --version)" = "$p $version" ] || fail "$p --version: $(run --version 2>&1)"
    run --nessuna >/dev/null 2>"$work/error.txt"
    [ $? -eq 2 ] && grep -q "^$p: l'opzione --nessuna non esiste" "$work/error.txt" \
        || fail "$p --nessuna: $(cat "$work/error.txt")"
done
echo "arguments: --help, --version and an unknown option, without a display"

# The real thing: the menu's launcher starts the installed program on the example folder.
start_display
launch "$work" "$work/stderr.txt" "$prefix/bin/diveva-cartella"
cwd=$(readlink "/proc/$(xdotool getwindowpid "$(wait_window 'realizzato dal gruppo')")/cwd")
[ "$cwd" = "$prefix/share/diveva/esempio" ] || fail "the program runs in $cwd"
echo "installed program: start screen shown, working in the example folder"
stop_display

# The Debian package.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack -G DEB"; }
deb="$work/out/diveva_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out"; fail "no $(basename "$deb")"; }
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = diveva ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = education ] || fail "Section: $(field Section)"
# lists FIELD PACKAGE...: each package named in that field.
lists() { for p in "${@:2}"; do field "$1" | tr ',' '\n' | awk '{print $1}' | grep -qxF "$p" || fail "$1 lacks $p: $(field "$1")"; done; }
# Found by dpkg-shlibdeps: the Qt libraries the program links; listed: what it needs unlinked, the
# voices' libraries among them.
lists Depends libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-translations-l10n \
    fonts-liberation2 libqt6multimedia6 libgstreamer1.0-0 gstreamer1.0-plugins-base
lists Recommends libcanberra0 gstreamer1.0-plugins-good gstreamer1.0-libav
dpkg -x "$deb" "$work/root"
diff <(cd "$prefix" && find . | sort) <(cd "$work/root/usr" && find . | sort) \
    || fail "the package's files differ from the installed tree"
[ -z "$(find "$work/root" -mindepth 1 -maxdepth 1 ! -name usr)" ] || fail "files outside /usr"
echo "package $(basename "$deb"): control fields, dependencies, the installed tree under /usr"

# Debian's own checks (a missing maintainer, files not root's, a program not stripped...): not an
# error, not a warning (as root, lintian says so on its error output).
tags=$(lintian --fail-on error,warning "$deb" 2>"$work/lintian.txt") \
    || fail "lintian: $tags $(cat "$work/lintian.txt")"
[ -z "$tags" ] || fail "lintian: $tags"
echo "lintian: nothing to report"

#!/usr/bin/env bash
# Builds the Debian package with cpack and looks inside: the control fields and dependencies,
# then the files, unpacked with dpkg -x into a temporary root.
# Usage: package.sh BUILD_DIR SOURCE_DIR APP_ID VERSION
set -u
build=$1 source=$2 id=$3 version=$4
here=$(dirname "$0")
. "$here/../e2e/lib.sh"
. "$here/lib.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack -G DEB"; }
deb="$work/out/diveva_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out"; fail "no $(basename "$deb")"; }
dpkg-deb -I "$deb"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = diveva ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = education ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# Found by dpkg-shlibdeps: the Qt libraries the program links; listed: what it needs unlinked.
for p in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-translations-l10n \
         fonts-liberation2; do
    field Depends | tr ',' '\n' | awk '{print $1}' | grep -qxF "$p" \
        || fail "Depends lacks $p: $(field Depends)"
done
field Recommends | grep -q libcanberra0 || fail "Recommends lacks libcanberra0"

[ "$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)" = root/root ] || fail "files not owned by root"
dpkg -x "$deb" "$work/root"
check_tree "$work/root/usr" "$source" "$id"
file -b "$work/root/usr/bin/diveva" | grep -q ', stripped' || fail "the program is not stripped"
[ -z "$(find "$work/root" -mindepth 1 -maxdepth 1 ! -name usr)" ] || fail "files outside /usr"
echo "package $(basename "$deb"): control fields, dependencies and files as expected"

# Checks shared by the install and package tests: what a desktop needs from an installed tree.

# check_tree PREFIX SOURCE_DIR APP_ID: the program, its launcher script, the desktop entries,
# the icons, the AppStream metainfo and the example folder under PREFIX.
check_tree() {
    local prefix=$1 source=$2 id=$3 apps="$1/share/applications"
    [ -x "$prefix/bin/diveva" ] || fail "no program bin/diveva"
    [ -x "$prefix/bin/diveva-cartella" ] || fail "no launcher script bin/diveva-cartella"
    file -b "$prefix/share/icons/hicolor/32x32/apps/$id.png" | grep -q '^PNG image data, 32 x 32,' \
        || fail "no 32x32 PNG icon"
    file -b "$prefix/share/icons/hicolor/scalable/apps/$id.svg" | grep -q '^SVG' \
        || fail "no scalable icon"
    desktop-file-validate "$apps/$id.desktop" "$apps/diveva-cartella.desktop" \
        || fail "desktop-file-validate"
    appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null \
        || { appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"; fail "appstreamcli validate"; }
    # The menu's launcher opens the example folder; the other one, offered for folders, the
    # folder chosen, and only appears in "Apri con".
    entry_is "$apps/$id.desktop" Exec 'diveva-cartella'
    entry_is "$apps/$id.desktop" Icon "$id"
    entry_is "$apps/$id.desktop" Categories 'Education;Languages;'
    entry_is "$apps/diveva-cartella.desktop" Exec 'diveva-cartella %f'
    entry_is "$apps/diveva-cartella.desktop" MimeType 'inode/directory;'
    entry_is "$apps/diveva-cartella.desktop" NoDisplay 'true'
    diff -r "$source/esempio" "$prefix/share/diveva/esempio" >/dev/null \
        || fail "the installed example folder differs from esempio/"
    echo "tree under $prefix: complete, entries and metainfo valid"
}

# entry_is FILE KEY VALUE
entry_is() {
    local got
    got=$(sed -n "s/^$2=//p" "$1")
    [ "$got" = "$3" ] || fail "$(basename "$1"): $2=$got, expected $3"
}

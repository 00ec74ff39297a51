#!/usr/bin/env bash
# The program writes nothing: a whole session in a read-only copy of the example folder, run as a
# user without root rights (nobody, when the test runs as root: root writes through any permission
# bits). Afterwards the folder's listing and checksums must be as before; where strace can trace,
# any attempt to create, open for writing, remove or rename something in the folder fails the test
# too, since an attempt the permissions stopped would leave no mark on the checksums.
# Usage: readonly.sh PROGRAM EXAMPLE_FOLDER OUTPUT_FOLDER
set -u
program=$1 example=$2 out=$3
. "$(dirname "$0")/lib.sh"
# A wait that fails inside $(...) leaves only that subshell: every one below is followed by || exit.
mkdir -p "$out"
work=$(mktemp -d)
trap 'stop_display; chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"

# The program is copied next to the folder: the build folder need not be open to nobody.
install -m 755 "$program" "$work/diveva"
folder=$work/cartella
cp -r "$example" "$folder"
chmod -R a-w "$folder"
home=$work/casa
mkdir -m 700 "$home" "$home/run"
chmod 700 "$home/run"
as=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody:nogroup "$home"
    as=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
tracer=()
if command -v strace >/dev/null && strace -f -o /dev/null true 2>/dev/null; then
    tracer=(strace -f -qq -o "$out/strace.txt"
            -e trace=open,openat,creat,mkdir,mkdirat,unlink,unlinkat,rename,renameat,renameat2,link,linkat,symlink,symlinkat,truncate,chmod,fchmodat,chown,fchownat,lchown,utimensat,utimes,mknod,mknodat)
else
    echo "readonly: strace cannot trace here; only the folder's listing and checksums are compared"
fi

# Kind, permissions, size, modification time and name of every entry, then every file's checksum.
snapshot() {
    (cd "$folder" && find . -printf '%y %m %s %T@ %p\n' | LC_ALL=C sort &&
        find . -type f -exec sha256sum {} + | LC_ALL=C sort -k 2)
}
snapshot >"$out/prima.txt"

start_display
cd "$folder"
# Under strace the leak checker of a sanitizer build cannot work (it traces the process itself):
# leaks are the business of the other tests.
[ ${#tracer[@]} -gt 0 ] && export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
"${tracer[@]}" "${as[@]}" env HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CACHE_HOME="$home/cache" \
    XDG_CONFIG_HOME="$home/config" "$work/diveva" 2>"$out/stderr-readonly.txt" &
APP_PID=$!

avvio=$(wait_window 'realizzato dal gruppo') || exit 1
click "$avvio" 300 420
menu=$(wait_window '^Divevare parole/immagini$') || exit 1

click "$menu" 340 224                         # picture to word
trova=$(wait_window "^Diveva l'immagine alla parola$") || exit 1
press "$trova" 1 2 3 4 5 6
click "$trova" 200 180
click "$trova" 316 56                         # reset button
click "$trova" 560 416                        # back to the menu
question=$(wait_window '^Diveva PAROLE/IMMAGINI$') || exit 1
press "$question" Return
menu=$(wait_window '^Divevare parole/immagini$') || exit 1

click "$menu" 340 128                         # word to picture
trova2=$(wait_window "^Riconosci l'immagine corrispondente alla parola$") || exit 1
for xy in "220 176" "380 176" "540 176" "220 320" "380 320" "540 320"; do
    click "$trova2" $xy
done
press "$trova2" KP_1 KP_4 2 5
press "$trova2" space
question=$(wait_window '^Diveva PAROLE/IMMAGINI$') || exit 1
press "$question" Return
menu=$(wait_window '^Divevare parole/immagini$') || exit 1

press "$menu" Return
question=$(wait_window '^Diveva PAROLE/IMMAGINI$') || exit 1
press "$question" Return
wait_exit "$APP_PID"
APP_PID=
[ "$EXIT_STATUS" -eq 0 ] || fail "exit status $EXIT_STATUS after a whole session in a read-only folder"
cd "$work"

snapshot >"$out/dopo.txt"
diff -u "$out/prima.txt" "$out/dopo.txt" || fail "the folder changed during the session"
echo "readonly: $(grep -c '^f' "$out/prima.txt") files, listing and checksums unchanged"

if [ ${#tracer[@]} -gt 0 ]; then
    # Calls that change the file system, and opens that ask for writing, on a relative name (the
    # working directory is the folder) or on a name inside the folder.
    changes='creat|mkdir|mkdirat|unlink|unlinkat|rename|renameat|renameat2|link|linkat|symlink|symlinkat'
    changes+='|truncate|chmod|fchmodat|chown|fchownat|lchown|utimensat|utimes|mknod|mknodat'
    grep -E "^[0-9]+ +(($changes)\(|open(at)?\(.*(O_WRONLY|O_RDWR|O_CREAT|O_TRUNC))" "$out/strace.txt" |
        grep -E "(\(|, )\"($folder|[^/\"])" >"$out/scritture.txt"
    if [ -s "$out/scritture.txt" ]; then
        cat "$out/scritture.txt" >&2
        fail "the program tried to write in the folder"
    fi
    grep -qE "\"(lista\.txt|$folder/lista\.txt)\"" "$out/strace.txt" || fail "the trace does not show the list read"
    echo "readonly: $(grep -c . "$out/strace.txt") file calls traced, none writing in the folder"
fi
echo "readonly: left in the user's home: $(cd "$home" && find . -mindepth 1 -not -path './run' | tr '\n' ' ')"
echo "1 passed, 0 failed"

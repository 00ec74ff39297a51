#!/usr/bin/env bash
# The parts and what each may use, as the README's Layout table gives them: every #include of a
# part's files names itself or a part on its row, and every folder of product code has a row.
# Usage: layout.sh PROJECT_ROOT
set -u
root=$1
rows=$(grep -E '^\| `[a-z]+/` \|' "$root/README.md")
[ -n "$rows" ] || { echo "FAIL: no Layout table in README.md"; exit 1; }
declare -A may
while IFS='|' read -r _ part uses _; do
    part=$(tr -d ' `/' <<<"$part")
    may[$part]=" $part $(grep -o '`[a-z]*`' <<<"$uses" | tr -d '`' | tr '\n' ' ')"
done <<<"$rows"

bad=0
for dir in $(cd "$root" && git ls-files '*.cpp' '*.h' | cut -d/ -f1 | sort -u); do
    case $dir in tests | bench | tools | *.cpp | *.h) continue ;; esac
    [ -n "${may[$dir]:-}" ] || { echo "FAIL: $dir/ has no row in the Layout table"; bad=1; }
done
for part in "${!may[@]}"; do
    while IFS=: read -r file line text; do
        used=$(sed -E 's|.*#include "([a-z]+)/.*|\1|' <<<"$text")
        [ -n "${may[$used]:-}" ] || continue # not a part (a generated file, a test helper)
        case "${may[$part]}" in *" $used "*) ;; *)
            echo "FAIL: $file:$line: $part may not use $used: $text"; bad=1 ;;
        esac
    done < <(cd "$root" && grep -Hn '#include "[a-z]*/' $(git ls-files "$part/*.cpp" "$part/*.h"))
done
[ $bad -eq 0 ] && echo "1 passed, 0 failed"
exit $bad

#!/usr/bin/env bash
# Counts lines of C++ (comment and blank lines left out) under tests/ against all other C++
# sources of the project, in total and per folder. Build folders are not counted.
# Usage: scripts/test_lines.sh [source-root]
set -euo pipefail
root=${1:-"$(cd "$(dirname "$0")/.." && pwd)"}
cd "$root"

# Lines of the files given on standard input (NUL-separated), without blank lines, // lines
# and /* ... */ blocks.
count() {
    xargs -0 -r cat -- | awk '
        BEGIN { n = 0; inblock = 0 }
        {
            line = $0
            if (inblock) {
                end = index(line, "*/")
                if (end == 0) next
                line = substr(line, end + 2)
                inblock = 0
            }
            while ((start = index(line, "/*")) > 0) {
                rest = substr(line, start + 2)
                end = index(rest, "*/")
                if (end == 0) { line = substr(line, 1, start - 1); inblock = 1; break }
                line = substr(line, 1, start - 1) substr(rest, end + 2)
            }
            sub(/^[ \t]+/, "", line)
            if (line == "" || substr(line, 1, 2) == "//") next
            n++
        }
        END { print n }'
}

# C++ sources below the given folders (or the whole tree), build folders and shared/ left out.
sources() {
    find "$@" -type d \( -name 'build*' -o -name '.git' -o -name shared -o -name out \) -prune -o \
         -type f \( -name '*.cpp' -o -name '*.cc' -o -name '*.h' -o -name '*.hpp' \) -print0
}

tests=$(sources tests | count)
code=$(sources . | grep -zv '^\./tests/' | count)
printf '%-14s %8s %8s %6s\n' folder tests code share
for dir in platform rep engine modules/files modules/oe apps ui restore; do
    t=0
    [ -d "tests/$dir" ] && t=$(sources "tests/$dir" | count)
    c=0
    [ -d "$dir" ] && c=$(sources "$dir" | count)
    share="-"
    [ "$c" -gt 0 ] && share=$(awk -v t="$t" -v c="$c" 'BEGIN { printf "%d%%", 100 * t / c + 0.5 }')
    printf '%-14s %8d %8d %6s\n' "$dir" "$t" "$c" "$share"
done
printf '%-14s %8d %8d %6s\n' all "$tests" "$code" \
    "$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%d%%", 100 * t / c + 0.5 }')"

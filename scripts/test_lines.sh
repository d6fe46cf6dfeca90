#!/usr/bin/env bash
# Counts lines of C++ (comment and blank lines left out) under tests/ against all other C++
# sources of the project, in total and per folder. Build folders are not counted.
# Usage: scripts/test_lines.sh [source-root]
set -euo pipefail
root=${1:-"$(cd "$(dirname "$0")/.." && pwd)"}
cd "$root"

# Lines of the files given on standard input (NUL-separated), without blank lines, // lines
# and /* ... */ blocks. String and character literals are skipped while looking for comments
# ("/*" inside a string starts none), and each file starts outside any comment.
count() {
    python3 -c '
import re, sys
token = re.compile(r"R\"([^(\s]*)\((?:.|\n)*?\)\1\"|\"(?:[^\"\\\n]|\\.)*\"|\x27(?:[^\x27\\\n]|\\.)*\x27|//[^\n]*|/\*(?:.|\n)*?(?:\*/|$)")
total = 0
for path in sys.stdin.read().split("\0"):
    if not path:
        continue
    text = open(path, encoding="utf-8", errors="replace").read()
    # Comments become nothing; literals stay (as a placeholder that keeps their line breaks).
    def keep(m):
        t = m.group(0)
        if t.startswith("//") or t.startswith("/*"):
            return "\n" * t.count("\n")
        return "S" + "\nS" * t.count("\n")
    text = token.sub(keep, text)
    total += sum(1 for line in text.split("\n") if line.strip())
print(total)
'
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

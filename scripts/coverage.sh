#!/usr/bin/env bash
# Line coverage of the test suite per source folder.
# Configures a Debug build with gcov counters in BUILD (default build-cov), builds it, runs
# every test once from zeroed counters and prints the share of lines the tests ran, per folder.
# Usage: scripts/coverage.sh [build-dir]   (gcovr from Debian; the JSON lands in BUILD/coverage.json)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build=$(realpath -m "${1:-$root/build-cov}")
cd "$root"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAV_COVERAGE=ON -DTAV_BUILD_BENCH=OFF \
      ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null
cmake --build "$build" -j "${JOBS:-2}"
find "$build" -name '*.gcda' -delete
# The objects of targets since removed (a test program folded into another) would stop
# gcovr on their notes: their folders go.
ninja -C "$build" -t targets all | sed -n 's|^\(.*\.dir\)/.*\.o: .*|\1|p' | sort -u >"$build/live-dirs.txt"
find "$build" -type d -name '*.dir' | while read -r dir; do
    grep -qxF "${dir#"$build"/}" "$build/live-dirs.txt" || rm -rf "$dir"
done
ctest --test-dir "$build" -j "${JOBS:-2}" --timeout 900 --output-on-failure || echo "coverage: some tests failed" >&2
# Counters of code run on several threads at once may come out negative (gcc's counters
# are not atomic): gcovr is told to pass over them rather than stop.
gcovr -r "$root" "$build" -j "${JOBS:-2}" --gcov-ignore-parse-errors --exclude "$root/tests/" --exclude "$build/" \
      --exclude "$root/bench/" --exclude "$root/fuzz/" --json-summary "$build/coverage.json" >/dev/null
python3 - "$build/coverage.json" <<'PY'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
folders = ["platform", "rep", "engine", "modules/files", "modules/oe", "modules", "apps", "ui", "restore"]
rows = {f: [0, 0] for f in folders + ["all"]}
for f in files:
    name = f["filename"]
    for folder in folders:
        if name.startswith(folder + "/"):
            rows[folder][0] += f["line_covered"]
            rows[folder][1] += f["line_total"]
    rows["all"][0] += f["line_covered"]
    rows["all"][1] += f["line_total"]
print("%-14s %8s %8s %7s" % ("folder", "run", "lines", "cover"))
for folder, (run, total) in rows.items():
    print("%-14s %8d %8d %6.1f%%" % (folder, run, total, 100.0 * run / total if total else 0))
PY

#!/usr/bin/env bash
# What the progress line of `tavctl backup` costs: CPU seconds (user+sys, of tavctl alone)
# of the same run with a terminal (under `script`, so that the line with its totals is drawn)
# and without one (output redirected: no line), in alternating pairs in one session, for a
# run with no change and for a full run into a new repository.
#
# Usage: bench/progress_overhead.sh [DATA_DIR]
#   DATA_DIR  the folder to back up; generated (bench/make_dataset.py) when missing or empty
# Environment:
#   SIZE_MB=1024       size of a generated set
#   PAIRS=5            pairs of no-change runs
#   FULL_PAIRS=2       pairs of full runs (each into a new repository)
#   BUILD_DIR=build    where tavctl is built
#   WORK=...           work folder (default ${TMPDIR:-/tmp}/tavora-progress), made anew
#   MEASURE=cpu        cpu: CPU seconds of each run; instructions: millions of instructions
#                      tavctl runs in user space, counted by valgrind's callgrind (some 50
#                      times slower, but the same on a busy machine as on a quiet one;
#                      page faults and system calls are not in it). Use it with FULL_PAIRS=0.
set -Eeuo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
TAVCTL="$ROOT/${BUILD_DIR:-build}/bin/tavctl"
WORK=${WORK:-${TMPDIR:-/tmp}/tavora-progress}
DATA=${1:-$WORK/data}
PAIRS=${PAIRS:-5}
FULL_PAIRS=${FULL_PAIRS:-2}
[ -x "$TAVCTL" ] || { echo "progress_overhead: build tavctl first ($TAVCTL)" >&2; exit 1; }
command -v script >/dev/null || { echo "progress_overhead: needs script (bsdutils)" >&2; exit 1; }

rm -rf "$WORK/repo" "$WORK/job.tvj" "$WORK/times" "$WORK/home"
mkdir -p "$WORK/repo" "$WORK/times" "$WORK/home"
if [ ! -d "$DATA" ] || [ -z "$(ls -A "$DATA" 2>/dev/null)" ]; then
    python3 bench/make_dataset.py make "$DATA" --size-mb "${SIZE_MB:-1024}" >&2
fi
export TAVORA_HOME="$WORK/home"
"$TAVCTL" job new "$WORK/job.tvj" --location "$WORK/repo" --name bench >/dev/null
"$TAVCTL" job add "$WORK/job.tvj" "$DATA" >/dev/null
# The data in the page cache, and the first baseline for the runs with no change.
find "$DATA" -type f -print0 | xargs -0 cat >/dev/null
"$TAVCTL" backup "$WORK/job.tvj" --full >/dev/null 2>&1

# One run; prints its CPU seconds. $1: tty or plain; the rest: tavctl's arguments.
run() {
    local mode=$1 out="$WORK/times/t"
    shift
    local cmd
    if [ "${MEASURE:-cpu}" = instructions ]; then
        printf -v cmd '%q ' valgrind --tool=callgrind --callgrind-out-file=/dev/null \
            --log-file="$out.vg" "$TAVCTL" "$@"
        if [ "$mode" = tty ]; then script -q -e -c "$cmd" /dev/null >/dev/null; else bash -c "$cmd" >/dev/null 2>&1; fi
        awk '/Collected/ { printf "%.1f", $NF / 1e6 }' "$out.vg"
        return
    fi
    printf -v cmd '%q ' /usr/bin/time -f "%U %S" -o "$out" "$TAVCTL" "$@"
    if [ "$mode" = tty ]; then
        script -q -e -c "$cmd" /dev/null >/dev/null
    else
        bash -c "$cmd" >/dev/null 2>&1
    fi
    awk '{ printf "%.3f", $1 + $2 }' "$out"
}

# Alternating pairs; prints the per-run figures and the medians.
pairs() {
    local label=$1 count=$2 before=$3
    shift 3
    local tty=() plain=()
    for ((i = 1; i <= count; i++)); do
        eval "$before"
        tty+=("$(run tty "$@")")
        eval "$before"
        plain+=("$(run plain "$@")")
    done
    local mt mp
    mt=$(printf '%s\n' "${tty[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    mp=$(printf '%s\n' "${plain[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    local unit="cpu s"
    [ "${MEASURE:-cpu}" = instructions ] && unit="M instructions"
    echo "$label: with a terminal ${tty[*]} $unit; redirected ${plain[*]} $unit"
    awk -v t="$mt" -v p="$mp" -v l="$label" -v u="$unit" \
        'BEGIN { printf "%s: median %.3f vs %.3f %s: progress costs %+.3f (%+.1f%%)\n", l, t, p, u, t - p, (t - p) * 100 / p }'
}

echo "data: $(find "$DATA" -type f | wc -l) files, $(du -sh "$DATA" | cut -f1); load: $(cut -d' ' -f1-3 /proc/loadavg)"
pairs "no change" "$PAIRS" ":" backup "$WORK/job.tvj"
[ "$FULL_PAIRS" -gt 0 ] && pairs "full run" "$FULL_PAIRS" 'rm -rf "$WORK/repo"; mkdir -p "$WORK/repo"' backup "$WORK/job.tvj" --full
rm -rf "$WORK/repo"

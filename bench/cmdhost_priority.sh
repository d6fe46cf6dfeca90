#!/usr/bin/env bash
# What idle priority costs a backup on an otherwise quiet machine: full TavCmdHost runs of
# one data set, alternating the host's default (nice 19 and the idle I/O class) with
# TAVORA_NORMAL_PRIORITY=1, in pairs within one session. Each run backs up into a new
# repository. Prints each pair's seconds and the ratio of the medians (idle / normal).
#
# Usage: bench/cmdhost_priority.sh [DATA_DIR]
#   DATA_DIR  the folder to back up; generated (SIZE_MB, bench/make_dataset.py) when missing
# Environment: SIZE_MB=200, PAIRS=3, WORK=${TMPDIR:-/tmp}/tavora-priority,
#   BUILD_DIR=build (programs used as they are built)
set -Eeuo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
SIZE_MB=${SIZE_MB:-200}
PAIRS=${PAIRS:-3}
WORK=${WORK:-${TMPDIR:-/tmp}/tavora-priority}
BIN="$ROOT/${BUILD_DIR:-build}/bin"
DATA=${1:-$WORK/data}

source "$ROOT/bench/host_bench_setup.sh"
host_bench_setup "Priority bench"

# Seconds of one full run; the repository is made anew each time.
run() {
    rm -rf "$WORK/repo"/* "$WORK"/job.tvj.*.log
    sync
    local start end
    start=$(date +%s.%N)
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$BIN/TavCmdHost" JOB_BACKUP "$WORK/job.tvj" FULL SW_HIDE
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}

idle=()
normal=()
for i in $(seq 1 "$PAIRS"); do
    n=$(run TAVORA_NORMAL_PRIORITY=1)
    d=$(run TAVORA_NORMAL_PRIORITY=0)
    normal+=("$n")
    idle+=("$d")
    printf 'pair %d: normal %.2f s, idle %.2f s\n' "$i" "$n" "$d"
done
mn=$(median "${normal[@]}")
mi=$(median "${idle[@]}")
printf 'data %s (%s MB): median normal %.2f s, median idle %.2f s, idle/normal %.3f\n' \
    "$DATA" "$(du -sm "$DATA" | cut -f1)" "$mn" "$mi" "$(echo "$mi / $mn" | bc -l)"

#!/usr/bin/env bash
# Whether following a run slows it: full TavCmdHost runs of one data set, alternating a
# run alone with a run that bench_host_follow asks for the records every 250 ms (four
# times as often as a page on a one-second timer), in pairs within one session. Prints each
# pair and the ratio of the medians (followed / alone).
#
# Usage: bench/cmdhost_follow.sh [DATA_DIR]   (generated when missing, as cmdhost_priority.sh)
# Environment: SIZE_MB=200, PAIRS=3, INTERVAL_MS=250, WORK=${TMPDIR:-/tmp}/tavora-follow,
#   HOST_ENV="TAVORA_NORMAL_PRIORITY=1" to run the host at normal priority
set -Eeuo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
SIZE_MB=${SIZE_MB:-200}
PAIRS=${PAIRS:-3}
INTERVAL_MS=${INTERVAL_MS:-250}
WORK=${WORK:-${TMPDIR:-/tmp}/tavora-follow}
BIN="$ROOT/${BUILD_DIR:-build}/bin"
DATA=${1:-$WORK/data}

cmake --build "${BUILD_DIR:-build}" --target TavCmdHost tavctl bench_host_follow >/dev/null
source "$ROOT/bench/host_bench_setup.sh"
host_bench_setup "Follow bench"
IMAGE="$WORK/repo/bench"  # the job's image location and name: the host's title

run() {
    rm -rf "$WORK/repo"/* "$WORK"/job.tvj.*.log
    sync
    local start end follower=""
    if [ "$1" = follow ]; then
        "$BIN/bench_host_follow" "$IMAGE" "$INTERVAL_MS" >"$WORK/follow.out" &
        follower=$!
    fi
    start=$(date +%s.%N)
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ${HOST_ENV:-} "$BIN/TavCmdHost" JOB_BACKUP "$WORK/job.tvj" FULL SW_HIDE
    end=$(date +%s.%N)
    if [ -n "$follower" ]; then
        wait "$follower" || { echo "the follower did not see the run" >&2; exit 1; }
    fi
    echo "$end - $start" | bc
}

alone=()
followed=()
for i in $(seq 1 "$PAIRS"); do
    a=$(run alone)
    f=$(run follow)
    alone+=("$a")
    followed+=("$f")
    printf 'pair %d: alone %.2f s, followed %.2f s (%s)\n' "$i" "$a" "$f" "$(cat "$WORK/follow.out")"
done
ma=$(median "${alone[@]}")
mf=$(median "${followed[@]}")
printf 'data %s (%s MB): median alone %.2f s, median followed %.2f s, followed/alone %.3f\n' \
    "$DATA" "$(du -sm "$DATA" | cut -f1)" "$ma" "$mf" "$(echo "$mf / $ma" | bc -l)"

# Sourced by the command host's benchmarks (cmdhost_priority.sh, cmdhost_follow.sh): a job
# over DATA (generated with SIZE_MB when missing) that backs up into WORK/repo, the data
# read into the page cache, and the median of a list of seconds.
# Expects ROOT, BIN, WORK, DATA and SIZE_MB; $1 is the job's title.
host_bench_setup() {
    rm -rf "$WORK/repo" "$WORK/job.tvj"
    mkdir -p "$WORK/repo"
    if [ ! -d "$DATA" ] || [ -z "$(ls -A "$DATA" 2>/dev/null)" ]; then
        python3 "$ROOT/bench/make_dataset.py" make "$DATA" --size-mb "$SIZE_MB" >/dev/null
    fi
    "$BIN/tavctl" job new "$WORK/job.tvj" --location "$WORK/repo" --name bench --title "$1" >/dev/null
    "$BIN/tavctl" job add "$WORK/job.tvj" "$DATA" >/dev/null
    find "$DATA" -type f -exec cat {} + >/dev/null  # warm the cache
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

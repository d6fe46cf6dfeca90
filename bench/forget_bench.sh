#!/usr/bin/env bash
# Retention benchmark: the schedule a user would have (one full run and six incrementals
# that each change 1% of the files, every week for WEEKS weeks, one run a day), then
# `tavctl forget --keep-daily 7 --keep-weekly 4`. Prints the repository's size against what
# the kept baselines need (the distinct blocks they use, as the forget counts them; and, for
# comparison, a fresh repository holding just their trees: a full run of the oldest kept one,
# then incrementals of the others), the forget's time and peak memory, and checks that every
# kept baseline restores byte-identically.
#
#   bash bench/forget_bench.sh [DATA_DIR]      (SIZE_MB=1024 WEEKS=5 by default)
#
# Runs are dated one day apart with faketime (installed from Debian when missing).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD:-$ROOT/build}"
TAVCTL="$BUILD/bin/tavctl"
SIZE_MB="${SIZE_MB:-1024}"
WEEKS="${WEEKS:-5}"
WORK="$(mktemp -d /tmp/tav-forget-bench.XXXXXX)"
trap '[ -n "${KEEP:-}" ] || rm -rf "$WORK"' EXIT
command -v faketime >/dev/null || apt-get install -y faketime >/dev/null
[ -x /usr/bin/time ] || apt-get install -y time >/dev/null

DATA="${1:-}"
if [ -z "$DATA" ]; then
    DATA="$WORK/data"
    mkdir -p "$DATA"
    python3 "$ROOT/bench/make_dataset.py" make "$DATA" --size-mb "$SIZE_MB" >/dev/null
else
    # The runs change the tree: they work on a copy.
    cp -a "$DATA" "$WORK/data"
    DATA="$WORK/data"
fi
SNAP="$WORK/snapshots"
mkdir -p "$WORK/repo" "$SNAP"
JOB="$WORK/bench.tvj"
"$TAVCTL" job new "$JOB" -l "$WORK/repo" -n bench >/dev/null
"$TAVCTL" job add "$JOB" "$DATA" >/dev/null
REPO="$WORK/repo/bench.tvr"

start=$(date -u -d '2026-01-05 12:00' +%s)  # a Monday
day=0
backup_seconds=0
for week in $(seq 1 "$WEEKS"); do
    for dow in 1 2 3 4 5 6 7; do
        when=$(date -u -d "@$((start + day * 86400))" '+%Y-%m-%d %H:%M:%S')
        if [ "$dow" -gt 1 ]; then python3 "$ROOT/bench/make_dataset.py" mutate "$DATA" --percent 1 --seed "$day" >/dev/null; fi
        t0=$(date +%s.%N)
        if [ "$dow" -eq 1 ]; then full=--full; else full=; fi
        TZ=UTC faketime "$when" "$TAVCTL" backup "$JOB" $full >/dev/null
        t1=$(date +%s.%N)
        backup_seconds=$(echo "$backup_seconds + $t1 - $t0" | bc)
        day=$((day + 1))
        # A manifest of the tree as this baseline saw it (number = day, baseline 0 is empty).
        (cd "$DATA" && find . -type f -print0 | sort -z | xargs -0 md5sum) > "$SNAP/$day.md5"
    done
done
before=$(du -sb "$WORK/repo" | cut -f1)
out="$WORK/forget.txt"
/usr/bin/time -f '%e %M' -o "$WORK/time.txt" env TZ=UTC \
    faketime "$(date -u -d "@$((start + day * 86400 - 3600))" '+%Y-%m-%d %H:%M:%S')" \
    "$TAVCTL" forget "$REPO" --keep-daily 7 --keep-weekly 4 > "$out"
read -r forget_s forget_kb < "$WORK/time.txt"
after=$(du -sb "$WORK/repo" | cut -f1)
kept=$(grep -c '^  keep' "$out")

need_repo="$WORK/need"
mkdir -p "$need_repo"
"$TAVCTL" job new "$WORK/need.tvj" -l "$need_repo" -n need >/dev/null
ok=1
restored="$WORK/restored"
for n in $(grep '^  keep' "$out" | awk '{print $2}'); do
    [ "$n" -eq 0 ] && continue
    rm -rf "$restored"
    "$TAVCTL" restore "$REPO" -b "$n" --to "$restored" >/dev/null
    if ! (cd "$restored$DATA" && find . -type f -print0 | sort -z | xargs -0 md5sum) | cmp -s - "$SNAP/$n.md5"; then
        echo "baseline $n does not restore byte-identically"; ok=0
    fi
done
# Reference (REFERENCE=1): the kept trees stored as a full run of the oldest kept one and
# incrementals of the others in order.
need=0
first=1
[ -n "${REFERENCE:-}" ] && for n in $(grep '^  keep' "$out" | awk '{print $2}'); do
    [ "$n" -eq 0 ] && continue
    rm -rf "$restored"
    "$TAVCTL" restore "$REPO" -b "$n" --to "$restored" >/dev/null
    if [ $first -eq 1 ]; then
        "$TAVCTL" job add "$WORK/need.tvj" "$restored$DATA" >/dev/null
        "$TAVCTL" backup "$WORK/need.tvj" --full >/dev/null; first=0
    else "$TAVCTL" backup "$WORK/need.tvj" >/dev/null; fi
done
[ -n "${REFERENCE:-}" ] && need=$(du -sb "$need_repo" | cut -f1)
"$TAVCTL" check "$REPO" --read-data >/dev/null && check=clean || check=PROBLEMS

echo "Data: $(du -sb "$WORK/data" | cut -f1) bytes, $WEEKS weeks x 7 runs; backups took ${backup_seconds%.*} s"
echo "Repository before forget: $before bytes; after: $after bytes; kept baselines: $kept (incl. 0)"
live=$(sed -n 's/^The kept baselines use \([0-9]*\) bytes.*/\1/p' "$out")
echo "What the kept baselines need: the blocks they use, $live bytes; the same trees backed up"
echo "  afresh into a repository of their own (one full run, then incrementals): $need bytes"
printf 'Size ratio (repository / blocks the kept baselines use): %.3f\n' "$(echo "$after / $live" | bc -l)"
[ "$need" -gt 0 ] && printf 'Repository / the kept trees backed up afresh: %.3f\n' "$(echo "$after / $need" | bc -l)"
echo "Forget: ${forget_s} s, peak memory $((forget_kb / 1024)) MiB"
tail -3 "$out"
echo "Restores byte-identical: $([ $ok -eq 1 ] && echo yes || echo NO); check --read-data: $check"

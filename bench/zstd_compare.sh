#!/usr/bin/env bash
# zstd against deflate in Tavora, with restic beside them, in one run over the same tree:
#   full       the first backup into a new repository (tavctl backup --full)
#   no change  a second run with nothing changed
#   restore    the whole newest baseline restored into an empty folder
#   size       the repository's size after the full backup
# Both Tavora jobs encrypt with the built-in key (--encrypt); deflate runs at its default
# level 6, zstd at its default level 3. The tree is read into the cache (untimed) before
# every timed run. Seconds are wall-clock; CPU seconds (user+sys) are printed too.
# The three phases run ROUNDS times, the tools taking turns within each phase, and the
# figures are each tool's median; the ratios of every round are printed as well, since one
# run on a shared machine moves by several hundredths. Every restore writes into a folder of
# its own under RESTORE_DIR, a tmpfs when the machine has room in /dev/shm: on an ext4 file
# system without a journal (this machine's), creating files within minutes after many were
# deleted makes the kernel scan for inodes it may not reuse yet, which slowed single
# restores of the same repository two- to sixfold in tests of this script, whichever tool
# came after a deletion. On the tmpfs every tool writes the same way, so the figures compare
# the tools' own work.
#
# Usage: bench/zstd_compare.sh [DATA_DIR]
#   DATA_DIR  the folder to back up; generated when missing or empty (bench/make_dataset.py)
# Environment:
#   SIZE_MB=1024            size of a generated set
#   WORK=...                work folder (default ${TMPDIR:-/tmp}/tavora-zstd), made anew
#   BUILD_DIR=build-compare Tavora's build folder (Release); built when out of date
#   NO_RESTIC=1             leave restic out
#   ROUNDS=3                how many times each phase runs (the median counts)
#   RESTORE_DIR=...         where restores write (default a folder in /dev/shm when it is a
#                           tmpfs with room for two trees, else the work folder)
set -Eeuo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
SIZE_MB=${SIZE_MB:-1024}
WORK=${WORK:-${TMPDIR:-/tmp}/tavora-zstd}
BUILD="$ROOT/${BUILD_DIR:-build-compare}"
ROUNDS=${ROUNDS:-3}
DATA_DIR=${1:-}
say() { echo "zstd_compare: $*" >&2; }

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAV_BUILD_TESTS=OFF >/dev/null
fi
ninja -C "$BUILD" -j2 tavctl filesmodule >/dev/null
TAVCTL="$BUILD/bin/tavctl"
TOOLS=(deflate zstd)
if [ "${NO_RESTIC:-0}" != 1 ] && command -v restic >/dev/null; then TOOLS+=(restic); fi

rm -rf "$WORK"
mkdir -p "$WORK/logs"
TREE=${DATA_DIR:-$WORK/tree}
if [ ! -d "$TREE" ] || [ -z "$(ls -A "$TREE")" ]; then
    say "generating $SIZE_MB MiB into $TREE"
    python3 bench/make_dataset.py make "$TREE" --size-mb "$SIZE_MB" --seed 20240501 >&2
fi
warm() { find "$TREE" -type f -print0 | xargs -0 cat >/dev/null; }

tree_kb=$(du -skL "$TREE" | cut -f1)
if [ -z "${RESTORE_DIR:-}" ]; then
    RESTORE_DIR=$WORK
    if [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ] &&
        [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt $((tree_kb * 2)) ]; then
        RESTORE_DIR=/dev/shm/tavora-zstd-restore
    fi
fi
rm -rf "$RESTORE_DIR/out-"*
mkdir -p "$RESTORE_DIR"
RESTORE_FS=$(stat -f -c %T "$RESTORE_DIR")
say "restores write into $RESTORE_DIR ($RESTORE_FS)"

export RESTIC_PASSWORD=compare-bench RESTIC_CACHE_DIR="$WORK/cache/restic"
for m in deflate zstd; do
    "$TAVCTL" job new "$WORK/$m.tvj" --location "$WORK/repo-$m" --name bench --encrypt --compress "$m" >/dev/null
    "$TAVCTL" job add "$WORK/$m.tvj" "$TREE" >/dev/null
done

run() {  # run TOOL PHASE ROUND
    case "$1/$2" in
        restic/restore) restic --repo "$WORK/repo-restic" restore latest --target "$RESTORE_DIR/out-restic-$3" ;;
        restic/*) restic --repo "$WORK/repo-restic" backup "$TREE" ;;
        */full) "$TAVCTL" backup "$WORK/$1.tvj" --full ;;
        */nochange) "$TAVCTL" backup "$WORK/$1.tvj" ;;
        */restore) "$TAVCTL" restore "$WORK/repo-$1/bench.tvr" --to "$RESTORE_DIR/out-$1-$3" ;;
    esac
}

fresh_repo() {  # fresh_repo TOOL: an empty repository for the next full backup
    rm -rf "$WORK/repo-$1"
    case "$1" in
        restic) rm -rf "$RESTIC_CACHE_DIR" && restic init --repo "$WORK/repo-restic" >/dev/null 2>&1 ;;
        *) mkdir -p "$WORK/repo-$1" ;;
    esac
}

declare -A S C
measure() {  # measure TOOL PHASE ROUND
    local log="$WORK/logs/$1-$2-$3.log"
    sync
    warm
    TIMEFORMAT='%R %U %S'
    { time run "$1" "$2" "$3" >"$log" 2>&1; } 2>"$WORK/logs/time.tmp" ||
        { say "$1 $2 failed:"; tail -5 "$log" >&2; exit 1; }
    read -r real user sys <"$WORK/logs/time.tmp"
    S[$1/$2/$3]=$real
    C[$1/$2/$3]=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
    say "$(printf 'round %d  %-8s %-9s %8.2f s' "$3" "$1" "$2" "$real")"
    # A restore on a tmpfs is removed at once (the next one needs the memory); on a disk
    # only at the end, after the last restore.
    if [ "$2" = restore ] && [ "$RESTORE_FS" = tmpfs ]; then rm -rf "$RESTORE_DIR/out-"*; fi
}

load_start=$(cut -d' ' -f1 /proc/loadavg)
for round in $(seq 1 "$ROUNDS"); do
    for t in "${TOOLS[@]}"; do fresh_repo "$t"; done
    for phase in full nochange restore; do
        for t in "${TOOLS[@]}"; do measure "$t" "$phase" "$round"; done
        if [ "$phase" = full ]; then
            for t in "${TOOLS[@]}"; do S[$t/size/$round]=$(du -sb "$WORK/repo-$t" | cut -f1); done
        fi
    done
done
load_end=$(cut -d' ' -f1 /proc/loadavg)

median() {  # median KEY-PREFIX ARRAY-NAME: the median over the rounds
    local -n a=$2
    for r in $(seq 1 "$ROUNDS"); do echo "${a[$1/$r]}"; done | sort -g |
        awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
for t in "${TOOLS[@]}"; do
    for p in full nochange restore size; do S[$t/$p]=$(median "$t/$p" S); done
    for p in full nochange restore; do C[$t/$p]=$(median "$t/$p" C); done
done

mib=$(du -sbL "$TREE" | awk '{ printf "%.1f", $1 / 1048576 }')
echo
echo "Tree: $TREE, $mib MiB; load average when the runs began and ended: $load_start, $load_end (2 cores)"
printf '%-8s %18s %18s %18s %12s\n' "" "full s (cpu)" "no change s (cpu)" "restore s (cpu)" "repo MiB"
for t in "${TOOLS[@]}"; do
    printf '%-8s %10.2f (%5.1f) %10.2f (%5.1f) %10.2f (%5.1f) %12.1f\n' "$t" \
        "${S[$t/full]}" "${C[$t/full]}" "${S[$t/nochange]}" "${C[$t/nochange]}" \
        "${S[$t/restore]}" "${C[$t/restore]}" "$(awk -v b="${S[$t/size]}" 'BEGIN { print b / 1048576 }')"
done
echo
target() {  # target NAME VALUE LIMIT (met when VALUE <= LIMIT)
    awk -v n="$1" -v v="$2" -v l="$3" 'BEGIN { printf "  %-40s %6.2f  %s\n", n, v, (v <= l ? "met" : "MISSED") }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { print a / b }'; }
ratio2() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }  # two decimals
echo "Per round:"
for r in $(seq 1 "$ROUNDS"); do
    line="  round $r: zstd/deflate full $(ratio2 "${S[zstd/full/$r]}" "${S[deflate/full/$r]}")"
    if [ -n "${S[restic/full/$r]:-}" ]; then
        line+=", zstd/restic full $(ratio2 "${S[zstd/full/$r]}" "${S[restic/full/$r]}")"
    fi
    line+=", zstd/deflate restore $(ratio2 "${S[zstd/restore/$r]}" "${S[deflate/restore/$r]}")"
    echo "$line"
done
echo
echo "Targets (medians of $ROUNDS rounds):"
target "zstd full / deflate full (<= 0.60)" "$(ratio "${S[zstd/full]}" "${S[deflate/full]}")" 0.60
if [ -n "${S[restic/full]:-}" ]; then
    target "zstd full / restic full (<= 0.40)" "$(ratio "${S[zstd/full]}" "${S[restic/full]}")" 0.40
fi
target "zstd size / deflate size (<= 1.03)" "$(ratio "${S[zstd/size]}" "${S[deflate/size]}")" 1.03
target "zstd restore / deflate restore (<= 1.00)" "$(ratio "${S[zstd/restore]}" "${S[deflate/restore]}")" 1.00
target "zstd no change / deflate no change (<= 1.10)" "$(ratio "${S[zstd/nochange]}" "${S[deflate/nochange]}")" 1.10
rm -rf "$RESTORE_DIR/out-"*
[ "$RESTORE_DIR" = "$WORK" ] || rmdir "$RESTORE_DIR" 2>/dev/null || true

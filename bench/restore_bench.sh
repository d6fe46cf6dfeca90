#!/usr/bin/env bash
# Restore speed of Tavora beside restic and borg, in one run over the same data:
#   full set     the restore of a whole backup of a generated mixed tree (default 1 GiB,
#                bench/make_dataset.py)
#   small files  the restore of a backup of 10,000 small files (200 bytes to 4 KiB of text
#                in 100 folders)
# Tools and settings (each backs up both sets once, untimed, then restores them):
#   tavora      tavctl restore --to DIR (files written in content order, stored times),
#               repository made with default compression (deflate 6) and --encrypt
#   restic      restic restore latest --target DIR (restic always encrypts)
#   borg zlib6  borg extract (run inside DIR), archive made with --compression zlib,6,
#               repository made with `borg init -e $BORG_ENC`
# restic and borg take part when they are installed (INSTALL=1 installs them with
# apt-get). Every restore writes into a new empty folder on the same file system as the
# repositories; caches are warm (each restore runs RUNS times, the best time counts) and
# `sync` runs untimed before each. Each restored tree is compared with the original
# (untimed). Seconds are wall-clock; CPU seconds (user+sys) are printed too, as the machine
# may be shared. MiB/s is the set's size over the time.
#
# Usage: bench/restore_bench.sh
# Environment:
#   SIZE_MB=1024       size of the generated set; e.g. SIZE_MB=200 for a quick run
#   SMALL_FILES=10000  number of small files
#   SEED=20240501      the generator's seed
#   RUNS=2             restores per tool and set (the best counts)
#   WORK=...           work folder (default ${TMPDIR:-/tmp}/tavora-restore-bench), made anew
#   BUILD_DIR=build-restore-bench  Tavora's build folder (Release); built when out of date
#   NO_BUILD=1         use the programs as they are built
#   INSTALL=1          install restic and borgbackup when missing
#   BORG_ENC=repokey   borg's encryption mode (repokey or none)
#   KEEP=1             keep the work folder afterwards
set -Eeuo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

SIZE_MB=${SIZE_MB:-1024}
SMALL_FILES=${SMALL_FILES:-10000}
SEED=${SEED:-20240501}
RUNS=${RUNS:-2}
WORK=${WORK:-${TMPDIR:-/tmp}/tavora-restore-bench}
BUILD="$ROOT/${BUILD_DIR:-build-restore-bench}"
BORG_ENC=${BORG_ENC:-repokey}

say() { echo "restore-bench: $*" >&2; }
trap 'say "failed at line $LINENO; logs in $WORK/logs"' ERR

# ---- Tavora's build and the peers
if [ ! -f "$BUILD/build.ninja" ]; then
    say "configuring $BUILD"
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAV_BUILD_TESTS=OFF \
        -DTAV_BUILD_BENCH=OFF >/dev/null
fi
TAVCTL="$BUILD/bin/tavctl"
if [ "${NO_BUILD:-0}" != 1 ]; then
    say "building tavctl and filesmodule in $BUILD"
    ninja -C "$BUILD" -j2 tavctl filesmodule >"${TMPDIR:-/tmp}/restore-bench-build.log" 2>&1 ||
        { cat "${TMPDIR:-/tmp}/restore-bench-build.log" >&2; exit 1; }
fi
[ -x "$TAVCTL" ] || { say "no tavctl in $BUILD"; exit 1; }

if [ "${INSTALL:-0}" = 1 ] && { ! command -v restic >/dev/null || ! command -v borg >/dev/null; }; then
    say "installing restic and borgbackup"
    SUDO=""
    [ "$(id -u)" = 0 ] || SUDO=sudo
    $SUDO apt-get install -y restic borgbackup >/dev/null
fi
TOOLS=(tavora)
command -v restic >/dev/null && TOOLS+=(restic) || say "restic is not installed: left out"
command -v borg >/dev/null && TOOLS+=(borg-zlib6) || say "borg is not installed: left out"

# ---- The data sets
rm -rf "$WORK"
mkdir -p "$WORK/logs"
SETS=(full small)
set_dir() { echo "$WORK/data-$1"; }
say "generating $SIZE_MB MiB into $(set_dir full)"
python3 bench/make_dataset.py make "$(set_dir full)" --size-mb "$SIZE_MB" --seed "$SEED" >&2
say "generating $SMALL_FILES small files into $(set_dir small)"
python3 - "$(set_dir small)" "$SMALL_FILES" "$SEED" <<'EOF'
import os, random, sys
root, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(seed)
words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
         for _ in range(3000)]
for i in range(count):
    folder = os.path.join(root, "d%03d" % (i % 100))
    os.makedirs(folder, exist_ok=True)
    size = rng.randint(200, 4096)
    text = []
    n = 0
    while n < size:
        w = rng.choice(words)
        text.append(w)
        n += len(w) + 1
    path = os.path.join(folder, "f%05d.txt" % i)
    with open(path, "w") as f:
        f.write(" ".join(text)[:size])
    os.utime(path, (1672531200 + i, 1672531200 + i))
EOF

RESULTS="$WORK/results.txt"
: >"$RESULTS"
put() { echo "$1=$2" >>"$RESULTS"; }
for s in "${SETS[@]}"; do
    put "${s}_bytes" "$(find "$(set_dir "$s")" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }')"
    put "${s}_files" "$(find "$(set_dir "$s")" -type f | wc -l)"
done

# ---- Backups (untimed)
export RESTIC_PASSWORD=restore-bench
export RESTIC_CACHE_DIR="$WORK/cache/restic"
export BORG_PASSPHRASE=restore-bench
export BORG_BASE_DIR="$WORK/borg-home"
export BORG_UNKNOWN_UNENCRYPTED_REPO_ACCESS_IS_OK=yes
repo_of() { echo "$WORK/repo-$1-$2"; }

backup() {  # backup TOOL SET
    local repo data
    repo=$(repo_of "$1" "$2")
    data=$(set_dir "$2")
    case "$1" in
        tavora)
            mkdir -p "$repo"
            "$TAVCTL" job new "$WORK/$2.tvj" --location "$repo" --name bench --split 2GB --encrypt
            "$TAVCTL" job add "$WORK/$2.tvj" "$data"
            "$TAVCTL" backup "$WORK/$2.tvj" --full
            ;;
        restic)
            restic init --repo "$repo"
            restic --repo "$repo" backup "$data"
            ;;
        borg-zlib6)
            borg init -e "$BORG_ENC" "$repo"
            borg create --compression zlib,6 "$repo::bench" "$data"
            ;;
    esac
}

restore() {  # restore TOOL SET TARGET
    local repo
    repo=$(repo_of "$1" "$2")
    case "$1" in
        tavora) "$TAVCTL" restore "$repo/bench.tvr" --to "$3" ;;
        restic) restic --repo "$repo" restore latest --target "$3" ;;
        borg-zlib6) (cd "$3" && borg extract "$repo::bench") ;;
    esac
}

for s in "${SETS[@]}"; do
    for t in "${TOOLS[@]}"; do
        say "backing up $s with $t (untimed)"
        backup "$t" "$s" >"$WORK/logs/$t-$s-backup.log" 2>&1 ||
            { say "$t backup of $s failed"; tail -5 "$WORK/logs/$t-$s-backup.log" >&2; exit 1; }
    done
done
{ restic version 2>/dev/null || true; borg --version 2>/dev/null || true; } >"$WORK/logs/versions.log"

# ---- Restores
say "warming the cache"
cat "$WORK"/repo-*/* "$WORK"/repo-*/*/* >/dev/null 2>&1 || true
for s in "${SETS[@]}"; do
    for t in "${TOOLS[@]}"; do
        best="" bestCpu=""
        for run in $(seq 1 "$RUNS"); do
            target="$WORK/out-$t-$s"
            rm -rf "$target"
            mkdir -p "$target"
            sync
            log="$WORK/logs/$t-$s-restore-$run.log"
            TIMEFORMAT='%R %U %S'
            { time restore "$t" "$s" "$target" >"$log" 2>&1; } 2>"$WORK/logs/time.tmp" ||
                { say "$t restore of $s failed, see $log"; tail -5 "$log" >&2; exit 1; }
            read -r real user sys <"$WORK/logs/time.tmp"
            cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
            say "$(printf '%-11s %-6s run %d %8.2f s  (cpu %.2f s)' "$t" "$s" "$run" "$real" "$cpu")"
            if [ -z "$best" ] || awk -v a="$real" -v b="$best" 'BEGIN { exit !(a < b) }'; then
                best=$real bestCpu=$cpu
            fi
        done
        # Every tool restores the set at its original absolute path below the target.
        if ! diff -r "$(set_dir "$s")" "$target$(set_dir "$s")" >"$WORK/logs/$t-$s-diff.log" 2>&1; then
            say "$t restored $s differently:"
            head -5 "$WORK/logs/$t-$s-diff.log" >&2
            exit 1
        fi
        rm -rf "$target"
        put "${t}_${s}_s" "$best"
        put "${t}_${s}_cpu" "$bestCpu"
    done
done

# ---- The report
python3 - "$RESULTS" "$BORG_ENC" "$(tr '\n' ' ' <"$WORK/logs/versions.log")" "$RUNS" "${TOOLS[@]}" <<'EOF'
import sys

r = {}
for line in open(sys.argv[1]):
    k, v = line.strip().split("=", 1)
    r[k] = float(v)
borgEnc, versions, runs, tools = sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:]
labels = {"tavora": "tavora (deflate6, AES)", "restic": "restic (default)",
          "borg-zlib6": "borg zlib,6 (%s)" % borgEnc}
sets = [("full", "full set"), ("small", "small files")]
MIB = 1024 * 1024

print()
for s, label in sets:
    print("%-12s %7d files, %8.1f MiB" % (label, r[s + "_files"], r[s + "_bytes"] / MIB))
print("Peers: %s" % (versions.strip() or "none"))
print("Best of %s restores each, warm caches." % runs)
print()
print("%-24s %s" % ("", "   ".join("%-24s" % l for _, l in sets)))
print("%-24s %s" % ("", "   ".join("%8s %6s %8s" % ("s", "cpu s", "MiB/s") for _ in sets)))
for t in tools:
    cells = []
    for s, _ in sets:
        sec = r["%s_%s_s" % (t, s)]
        cells.append("%8.2f %6.1f %8.1f" % (sec, r["%s_%s_cpu" % (t, s)], r[s + "_bytes"] / MIB / sec))
    print("%-24s %s" % (labels[t], "   ".join(cells)))
if len(tools) > 1:
    print()
    print("Tavora's time over each peer's (below 1 is faster):")
    print("%-24s %12s %12s" % ("", "full set", "small files"))
    for t in tools[1:]:
        print("%-24s %12.2f %12.2f" % (labels[t], r["tavora_full_s"] / r[t + "_full_s"],
                                       r["tavora_small_s"] / r[t + "_small_s"]))
    print()
    print("Targets:")
    def Target(name, value, ok):
        print("  %-44s %6.2f  %s" % (name, value, "met" if ok else "MISSED"))
    if "restic" in tools:
        x = r["tavora_full_s"] / r["restic_full_s"]
        Target("full set / restic (<= 0.80)", x, x <= 0.8)
    for t in tools[1:]:
        x = r["tavora_small_s"] / r[t + "_small_s"]
        Target("small files / %s (< 1.00)" % t, x, x < 1.0)
print()
EOF

[ "${KEEP:-0}" = 1 ] || rm -rf "$WORK"

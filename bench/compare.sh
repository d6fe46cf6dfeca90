#!/usr/bin/env bash
# Backup speed and repository size of Tavora beside restic and borg, in one run over the
# same folder tree:
#   full       the first backup into a new repository
#   no change  a second run with nothing changed
#   1% change  a run after 1% of the files were changed (bench/make_dataset.py mutate)
#   size       the repository's size on disk after the full backup and after all three runs
# Tools and settings:
#   tavora      tavctl, default compression (deflate level 6), --encrypt (ENCRYPT_BUILTIN),
#               split size 2GB; full with --full, then incremental runs
#   restic      default settings, a local repository (encrypted, as restic always is)
#   borg zlib6  borg create --compression zlib,6, repository made with `borg init -e $BORG_ENC`
#   borg lz4    the same with --compression lz4
# Beside them stand reference figures of bench_tree_pipeline over the same tree: a stat
# walk, plain reads, and read + deflate (libdeflate 6) + AES + MD5 on one and two threads.
# Caches are warm: the tree is read (untimed) before the reference figures and before every
# timed run, after a `sync`. Seconds are wall-clock; CPU seconds (user+sys) are
# printed too, as the machine may be shared. MiB/s is the tree's size over the time.
#
# Usage: bench/compare.sh [DATA_DIR]
#   DATA_DIR  a folder to back up. When it is missing or empty the data set is generated
#             into it (and kept for later runs); either way the runs work on a copy, which
#             the 1% change modifies. Without DATA_DIR the set is generated in the work folder.
# Environment:
#   SIZE_MB=1024     size of a generated set (47,000 files per GiB); e.g. SIZE_MB=200 for a
#                    quick run
#   SEED=20240501    the generator's seed
#   WORK=...         work folder (default ${TMPDIR:-/tmp}/tavora-compare), made anew
#   BUILD_DIR=build-compare  Tavora's build folder (Release); built when out of date
#   BORG_ENC=repokey borg's encryption mode (repokey or none)
#   NO_BUILD=1       use the programs as they are built
#   KEEP=1           keep the work folder (repositories, logs) afterwards
set -Eeuo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

SIZE_MB=${SIZE_MB:-1024}
SEED=${SEED:-20240501}
WORK=${WORK:-${TMPDIR:-/tmp}/tavora-compare}
BUILD="$ROOT/${BUILD_DIR:-build-compare}"
BORG_ENC=${BORG_ENC:-repokey}
DATA_DIR=${1:-}
TOOLS=(tavora restic borg-zlib6 borg-lz4)

say() { echo "compare: $*" >&2; }
trap 'say "failed at line $LINENO; logs in $WORK/logs"' ERR

# ---- Tavora's build and the peers' packages
if [ ! -f "$BUILD/build.ninja" ]; then
    say "configuring $BUILD"
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAV_BUILD_TESTS=OFF >/dev/null
fi
TAVCTL="$BUILD/bin/tavctl"
PIPELINE="$BUILD/bin/bench_tree_pipeline"
if [ "${NO_BUILD:-0}" != 1 ]; then
    say "building tavctl, filesmodule and bench_tree_pipeline in $BUILD"
    if ! ninja -C "$BUILD" -j2 tavctl filesmodule bench_tree_pipeline >"${TMPDIR:-/tmp}/compare-build.log" 2>&1; then
        [ -x "$TAVCTL" ] && [ -x "$PIPELINE" ] || { cat "${TMPDIR:-/tmp}/compare-build.log" >&2; exit 1; }
        say "the build failed (${TMPDIR:-/tmp}/compare-build.log); using the programs built before"
    fi
fi

if ! command -v restic >/dev/null || ! command -v borg >/dev/null; then
    say "installing restic and borgbackup"
    SUDO=""
    [ "$(id -u)" = 0 ] || SUDO=sudo
    $SUDO apt-get install -y restic borgbackup >/dev/null
fi

# ---- The data set
rm -rf "$WORK"
mkdir -p "$WORK/logs"
TREE="$WORK/tree"
if [ -n "$DATA_DIR" ]; then
    if [ ! -d "$DATA_DIR" ] || [ -z "$(ls -A "$DATA_DIR")" ]; then
        say "generating $SIZE_MB MiB into $DATA_DIR"
        python3 bench/make_dataset.py make "$DATA_DIR" --size-mb "$SIZE_MB" --seed "$SEED" >&2
    fi
    say "copying $DATA_DIR to $TREE"
    cp -a "$DATA_DIR" "$TREE"
else
    say "generating $SIZE_MB MiB into $TREE"
    python3 bench/make_dataset.py make "$TREE" --size-mb "$SIZE_MB" --seed "$SEED" >&2
fi

# The tree is read into the cache before the reference figures and again before every
# timed run: this machine's page cache does not hold everything written since (the
# repositories), and a run that found the tree half evicted would measure the disk.
warm() {
    find "$TREE" -type f -print0 | xargs -0 cat >/dev/null
    find "$TREE" >/dev/null
}
say "warming the cache"
warm

RESULTS="$WORK/results.txt"
: >"$RESULTS"
put() { echo "$1=$2" >>"$RESULTS"; }

say "reference figures (bench_tree_pipeline)"
"$PIPELINE" "$TREE" | tee "$WORK/logs/pipeline.log" | sed 's/^/ref_/' >>"$RESULTS"

# ---- The tools
export RESTIC_PASSWORD=compare-bench
export RESTIC_CACHE_DIR="$WORK/cache/restic"
export BORG_PASSPHRASE=compare-bench
export BORG_BASE_DIR="$WORK/borg-home"
export BORG_UNKNOWN_UNENCRYPTED_REPO_ACCESS_IS_OK=yes
JOB="$WORK/tavora.tvj"

repo_of() {
    case "$1" in
        tavora) echo "$WORK/repo-tavora" ;;
        restic) echo "$WORK/repo-restic" ;;
        borg-zlib6) echo "$WORK/repo-borg-zlib6" ;;
        borg-lz4) echo "$WORK/repo-borg-lz4" ;;
    esac
}

init_tool() {
    local repo
    repo=$(repo_of "$1")
    case "$1" in
        tavora)
            mkdir -p "$repo"
            "$TAVCTL" job new "$JOB" --location "$repo" --name bench --split 2GB --encrypt
            "$TAVCTL" job add "$JOB" "$TREE"
            ;;
        restic) restic init --repo "$repo" ;;
        borg-*) borg init -e "$BORG_ENC" "$repo" ;;
    esac
}

# run_tool TOOL PHASE: one backup of the tree
run_tool() {
    local repo
    repo=$(repo_of "$1")
    case "$1" in
        tavora)
            if [ "$2" = full ]; then "$TAVCTL" backup "$JOB" --full; else "$TAVCTL" backup "$JOB"; fi
            ;;
        restic) restic --repo "$repo" backup "$TREE" ;;
        borg-zlib6) borg create --compression zlib,6 "$repo::$2" "$TREE" ;;
        borg-lz4) borg create --compression lz4 "$repo::$2" "$TREE" ;;
    esac
}

# measure TOOL PHASE: times one run (wall, user+sys of the process and its children)
measure() {
    local log="$WORK/logs/$1-$2.log" times
    sync
    warm
    TIMEFORMAT='%R %U %S'
    { time run_tool "$1" "$2" >"$log" 2>&1; } 2>"$WORK/logs/time.tmp" ||
        { say "$1 ($2) failed, see $log"; tail -5 "$log" >&2; exit 1; }
    read -r real user sys <"$WORK/logs/time.tmp"
    put "$1_$2_s" "$real"
    put "$1_$2_cpu" "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')"
    say "$(printf '%-11s %-9s %8.2f s' "$1" "$2" "$real")"
}

repo_size() { du -sb "$(repo_of "$1")" | cut -f1; }

for t in "${TOOLS[@]}"; do init_tool "$t" >"$WORK/logs/$t-init.log" 2>&1; done
restic version >>"$WORK/logs/versions.log"
borg --version >>"$WORK/logs/versions.log"

put load_start "$(cut -d' ' -f1 /proc/loadavg)"
for t in "${TOOLS[@]}"; do measure "$t" full; done
# Tavora must have stored every file (a module that failed to load stores nothing).
files=$(sed -n 's/^ref_files=//p' "$RESULTS")
added=$(sed -n 's/^ *Files added *//p' "$WORK/logs/tavora-full.log")
if [ "${added:-0}" != "$files" ]; then
    say "Tavora's full backup added ${added:-no} files of $files:"
    cat "$WORK/logs/tavora-full.log" >&2
    exit 1
fi
for t in "${TOOLS[@]}"; do put "${t}_size_full" "$(repo_size "$t")"; done
for t in "${TOOLS[@]}"; do measure "$t" nochange; done
say "changing 1% of the files"
python3 bench/make_dataset.py mutate "$TREE" --percent 1 --seed 7 >"$WORK/logs/mutate.log"
for t in "${TOOLS[@]}"; do measure "$t" change; done
for t in "${TOOLS[@]}"; do put "${t}_size_all" "$(repo_size "$t")"; done
put load_end "$(cut -d' ' -f1 /proc/loadavg)"

# ---- The report
python3 - "$RESULTS" "$BORG_ENC" "$(head -1 "$WORK/logs/mutate.log" 2>/dev/null || true)" \
    "$(tr '\n' ' ' <"$WORK/logs/versions.log")" <<'EOF'
import sys

r = {}
for line in open(sys.argv[1]):
    k, v = line.strip().split("=", 1)
    r[k] = float(v)
borgEnc, mutated, versions = sys.argv[2], sys.argv[3], sys.argv[4]
MIB = 1024 * 1024
mib = r["ref_bytes"] / MIB
tools = [("tavora", "tavora (deflate6, AES)"), ("restic", "restic (default)"),
         ("borg-zlib6", "borg zlib,6 (%s)" % borgEnc), ("borg-lz4", "borg lz4 (%s)" % borgEnc)]
phases = [("full", "full"), ("nochange", "no change"), ("change", "1% change")]

print()
print("Data: %d files in %d folders, %.1f MiB; %s" % (r["ref_files"], r["ref_folders"], mib, mutated))
print("Peers: %s" % versions.strip())
print("Load average (1 min) when the timed runs began and ended: %.2f, %.2f (2 cores: above 2,"
      " others were running too)" % (r["load_start"], r["load_end"]))
print()
print("Reference over the same tree (bench_tree_pipeline):")
print("  stat walk                               %7.2f s" % r["ref_walk_s"])
print("  read every file                         %7.2f s  %7.1f MiB/s" % (r["ref_read_s"], mib / r["ref_read_s"]))
for key, label in (("ref_pipeline1_s", "1 thread "), ("ref_pipeline2_s", "2 threads")):
    print("  read+deflate6+AES+MD5, %s        %7.2f s  %7.1f MiB/s" % (label, r[key], mib / r[key]))
print("  its output (deflate6 per 64 KiB + pad)  %7.1f MiB" % (r["ref_pipeline_stored"] / MIB))
print("  Tavora's full backup / this pipeline:   %7.2f (1 thread)  %.2f (2 threads)" %
      (r["tavora_full_s"] / r["ref_pipeline1_s"], r["tavora_full_s"] / r["ref_pipeline2_s"]))
print()
print("%-24s %s   %s" % ("", "   ".join("%-22s" % p[1] for p in phases), "repository MiB"))
print("%-24s %s   %s" % ("", "   ".join("%7s %6s %7s" % ("s", "cpu s", "MiB/s") for _ in phases),
                         "  full    all"))
for t, label in tools:
    cells = []
    for p, _ in phases:
        s = r["%s_%s_s" % (t, p)]
        cells.append("%7.2f %6.1f %7.1f" % (s, r["%s_%s_cpu" % (t, p)], mib / s))
    print("%-24s %s   %6.1f %6.1f" % (label, "   ".join(cells), r[t + "_size_full"] / MIB,
                                      r[t + "_size_all"] / MIB))
print()
print("Tavora's ratio to each peer (time: below 1 is faster; size: below 1 is smaller):")
print("%-24s %10s %10s %10s %10s" % ("", "full", "no change", "1% change", "size"))
for t, label in tools[1:]:
    ratios = [r["tavora_%s_s" % p] / r["%s_%s_s" % (t, p)] for p, _ in phases]
    ratios.append(r["tavora_size_full"] / r[t + "_size_full"])
    print("%-24s %s" % (label, " ".join("%10.2f" % x for x in ratios)))
print()

def Target(name, value, ok):
    print("  %-46s %6.2f  %s" % (name, value, "met" if ok else "MISSED"))

print("Targets:")
full = r["tavora_full_s"] / r["restic_full_s"]
Target("full / restic full (<= 1.00)", full, full <= 1.0)
borg = r["borg-zlib6_full_s"] / r["tavora_full_s"]
Target("borg zlib6 full / full (>= 4.00)", borg, borg >= 4.0)
for p, label in phases[1:]:
    x = r["tavora_%s_s" % p] / r["restic_%s_s" % p]
    Target("%s / restic %s (<= 0.50)" % (label, label), x, x <= 0.5)
size = r["tavora_size_full"] / r["restic_size_full"]
Target("repository size / restic's (<= 1.05)", size, size <= 1.05)
EOF

if [ "${KEEP:-0}" = 1 ]; then
    say "kept $WORK"
else
    rm -rf "$WORK"
fi

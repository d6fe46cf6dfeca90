#!/bin/bash
# Kills `tavctl backup` with SIGKILL at 20 points spread over a full and an incremental run
# of a small generated tree (the last points fall into the final save). After each kill:
# every baseline committed before the run verifies (`check --read-data`) and restores
# byte-identical, the next run succeeds, and after it the repository holds no bytes left
# over from the killed run and the temporary folder no working file.
#
# Usage: crash_test.sh TAVCTL
# The kill points come from the repository library's crash points (TAVORA_TEST_KILL_AT: the
# process kills itself before the N-th block write, rewrite or flush).
set -u
TAVCTL=${1:?usage: crash_test.sh TAVCTL}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tav-crash.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export TAVORA_HOME="$WORK/home" TMPDIR="$WORK/tmp"
unset TAVORA_PASSWORD TAVORA_TEST_KILL_AT TAVORA_TEST_COUNT_FILE
mkdir -p "$TAVORA_HOME" "$TMPDIR" "$WORK/repo"
DATA="$WORK/data" JOB="$WORK/crash.tvj" REPO="$WORK/repo/store.tvr"
FAILURES=0
KILLED=0

fail() {
    echo "FAIL: $*" >&2
    FAILURES=$((FAILURES + 1))
}

# A tree of 40 small text files, a few random ones of up to 300 KiB (several chunks each)
# and a nested folder.
make_tree() {
    mkdir -p "$DATA/docs/deep/er" "$DATA/bin"
    for i in $(seq 1 40); do printf 'file %d\n%s\n' "$i" "$(seq 1 $((i * 7)))" > "$DATA/docs/t$i.txt"; done
    for i in 1 2 3; do head -c $((i * 100000)) /dev/urandom > "$DATA/bin/r$i.bin"; done
    seq 1 20000 > "$DATA/docs/deep/er/long.txt"
}

change_tree() {
    printf 'changed\n' >> "$DATA/docs/t3.txt"
    head -c 150000 /dev/urandom > "$DATA/bin/r2.bin"
    rm -f "$DATA/docs/t7.txt"
    seq 5 9000 > "$DATA/docs/deep/new.txt"
}

# backup [--full] with an optional kill point; prints the exit code.
backup() {
    local point=$1; shift
    if [ "$point" = 0 ]; then
        "$TAVCTL" backup "$JOB" "$@" > "$WORK/backup.out" 2>&1
    else
        TAVORA_TEST_KILL_AT=$point "$TAVCTL" backup "$JOB" "$@" > "$WORK/backup.out" 2>&1
    fi
    echo $?
}

count_points() {
    rm -f "$WORK/count"
    TAVORA_TEST_COUNT_FILE="$WORK/count" "$TAVCTL" backup "$JOB" "$@" > "$WORK/backup.out" 2>&1 ||
        { cat "$WORK/backup.out" >&2; echo 0; return; }
    cat "$WORK/count"
}

# Baseline N of the repository restores byte-identical to the snapshot folder given.
restores_as() {
    local number=$1 snapshot=$2 target="$WORK/restored"
    rm -rf "$target"
    mkdir -p "$target"
    if ! "$TAVCTL" restore "$REPO" -b "$number" --to "$target" > "$WORK/restore.out" 2>&1; then
        fail "baseline $number does not restore: $(cat "$WORK/restore.out")"
        return
    fi
    diff -r "$snapshot" "$target$DATA" > /dev/null || fail "baseline $number restores other bytes than were backed up"
}

verifies() {
    local what=$1
    "$TAVCTL" check "$REPO" --read-data > "$WORK/check.out" 2>&1 || fail "$what: check --read-data: $(cat "$WORK/check.out")"
}

no_leftovers() {
    local what=$1
    "$TAVCTL" check "$REPO" > "$WORK/check.out" 2>&1 || fail "$what: check: $(cat "$WORK/check.out")"
    grep -q "left over" "$WORK/check.out" && fail "$what: bytes left over: $(grep "left over" "$WORK/check.out")"
    local strays
    strays=$(ls -A "$WORK/repo" | grep -v -E '^store(\.[0-9]{4})?\.tvr$')
    [ -n "$strays" ] && fail "$what: stray files in the repository folder: $strays"
    [ -n "$(ls -A "$TMPDIR")" ] && fail "$what: working files left in the temporary folder: $(ls -A "$TMPDIR")"
    # Every image file holds data of a committed baseline: none is a killed run's.
    local used held
    used=$("$TAVCTL" baselines "$REPO" --json | python3 -c '
import json, sys
for line in sys.stdin:
    b = json.loads(line)
    for i in range(b["first_image"], b["last_image"] + 1):
        print(i)' | sort -un | tr '\n' ' ')
    held=$(ls "$WORK/repo" | sed -E 's/^store\.tvr$/0/; s/^store\.0*([0-9]+)\.tvr$/\1/' | sort -un | tr '\n' ' ')
    [ "$used" = "$held" ] || fail "$what: images $held but baselines only in $used"
}

# Ten kill points over a run of `total` crash points: spread over the run, the last three
# in the final save.
points_for() {
    local total=$1
    for i in 1 2 3 4 5 6 7; do echo $(((total - 3) * i / 8 + 1)); done
    echo $((total - 2)) $((total - 1)) "$total"
}

"$TAVCTL" job new "$JOB" --location "$WORK/repo" --name store --title Crash > /dev/null || { echo "cannot make the job" >&2; exit 1; }
make_tree
"$TAVCTL" job add "$JOB" "$DATA" > /dev/null || { echo "cannot add the tree" >&2; exit 1; }
cp -a "$DATA" "$WORK/snap1"

# --- the full run into a new repository ---
FULL=$(count_points --full)
[ "$FULL" -gt 10 ] || { echo "the full run does not run: $(cat "$WORK/backup.out")" >&2; exit 1; }
rm -rf "$WORK/repo" && mkdir "$WORK/repo"
for p in $(points_for "$FULL"); do
    code=$(backup "$p" --full)
    [ "$code" = 137 ] && KILLED=$((KILLED + 1))
    [ "$code" = 137 ] || [ "$code" = 0 ] || fail "full run, kill at $p: exit $code: $(cat "$WORK/backup.out")"
    [ -e "$REPO" ] && verifies "full run, kill at $p"
    code=$(backup 0 --full)
    [ "$code" = 0 ] || fail "full run after a kill at $p: exit $code: $(cat "$WORK/backup.out")"
    no_leftovers "full run after a kill at $p"
    last=$("$TAVCTL" baselines "$REPO" | tail -1 | awk '{print $1}')
    restores_as "$last" "$WORK/snap1"
    rm -rf "$WORK/repo" && mkdir "$WORK/repo"
done

# --- an incremental run on top of a committed full one ---
[ "$(backup 0 --full)" = 0 ] || { echo "the full run fails: $(cat "$WORK/backup.out")" >&2; exit 1; }
cp -a "$WORK/repo" "$WORK/repo1"
change_tree
cp -a "$DATA" "$WORK/snap2"
INCR=$(count_points)
[ "$INCR" -gt 10 ] || { echo "the incremental run does not run: $(cat "$WORK/backup.out")" >&2; exit 1; }
for p in $(points_for "$INCR"); do
    rm -rf "$WORK/repo" && cp -a "$WORK/repo1" "$WORK/repo"
    code=$(backup "$p")
    [ "$code" = 137 ] && KILLED=$((KILLED + 1))
    [ "$code" = 137 ] || [ "$code" = 0 ] || fail "incremental run, kill at $p: exit $code: $(cat "$WORK/backup.out")"
    verifies "incremental run, kill at $p"
    restores_as 1 "$WORK/snap1"
    code=$(backup 0)
    [ "$code" = 0 ] || fail "incremental run after a kill at $p: exit $code: $(cat "$WORK/backup.out")"
    no_leftovers "incremental run after a kill at $p"
    restores_as 1 "$WORK/snap1"
    last=$("$TAVCTL" baselines "$REPO" | tail -1 | awk '{print $1}')
    restores_as "$last" "$WORK/snap2"
done

if [ "$FAILURES" -gt 0 ]; then
    echo "$FAILURES failures (full run: $FULL crash points, incremental: $INCR)" >&2
    exit 1
fi
[ "$KILLED" -ge 18 ] || { echo "only $KILLED of 20 runs were killed" >&2; exit 1; }
echo "$KILLED runs killed and survived (full run: $FULL crash points, incremental: $INCR)"

#!/usr/bin/env bash
# The main job: builds the suite (scripts/setup.sh), then in ./demo makes a sample folder and
# a job over it with tavctl, runs a full backup, changes a few files, runs an incremental
# backup the way cron does (TavCmdHost), and shows the baselines and the stored tree.
# Re-runnable: ./demo is made anew each time. Stops with a non-zero status at the first
# step that fails.
set -Eeuo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

bash scripts/setup.sh

BIN="$ROOT/${BUILD_DIR:-build}/bin"
TAVCTL="$BIN/tavctl"
CMDHOST="$BIN/TavCmdHost"
DEMO="${DEMO_DIR:-$ROOT/demo}"
SAMPLE="$DEMO/sample"
JOB="$DEMO/demo.tvj"
REPO="$DEMO/repository"

step=""
trap 'echo "demo: the step \"$step\" failed" >&2' ERR

begin() {
    step="$1"
    echo
    echo "== $1"
}

# Shows a command (with the build folder left out) and runs it.
show() {
    local shown
    printf -v shown '%q ' "$@"
    shown="${shown//$BIN\//}"
    echo "\$ ${shown% }"
    "$@"
}

begin "make the sample folder $SAMPLE"
rm -rf "$DEMO"
mkdir -p "$SAMPLE/docs/notes" "$SAMPLE/photos" "$REPO"
printf 'Tavora demo\nThis folder is backed up by scripts/demo.sh.\n' > "$SAMPLE/README.txt"
printf 'Meeting on Monday.\n' > "$SAMPLE/docs/notes/monday.txt"
printf 'Shopping: bread, milk.\n' > "$SAMPLE/docs/notes/shopping.txt"
seq 1 20000 > "$SAMPLE/docs/numbers.txt"
head -c 300000 /dev/urandom > "$SAMPLE/photos/holiday.jpg"
ln -s docs/notes/monday.txt "$SAMPLE/latest-note"
find "$SAMPLE" | sort | sed "s|^$DEMO/||"

begin "make the job"
show "$TAVCTL" job new "$JOB" --location "$REPO" --name demo --title "Demo job"
show "$TAVCTL" job add "$JOB" "$SAMPLE"
show "$TAVCTL" job show "$JOB"

begin "full backup"
show "$TAVCTL" backup "$JOB" --full

begin "change the sample: edit, add, delete"
printf 'Moved to Tuesday.\n' >> "$SAMPLE/docs/notes/monday.txt"
printf 'A new note.\n' > "$SAMPLE/docs/notes/new.txt"
rm "$SAMPLE/docs/notes/shopping.txt"
echo "edited docs/notes/monday.txt, added docs/notes/new.txt, deleted docs/notes/shopping.txt"

begin "incremental backup, as cron runs it"
show "$CMDHOST" JOB_BACKUP "$JOB" SW_HIDE
echo "exit status 0: a baseline was committed. The run log:"
log=$(ls -t "$JOB".*.log/*.log | head -n 1)
tr -d '\r' < "$log"

begin "the baselines"
show "$TAVCTL" baselines "$REPO/demo.tvr"

begin "the stored tree of the newest baseline"
show "$TAVCTL" ls -r "$REPO/demo.tvr"

step="done"
echo
echo "The job, its repository and run logs are in $DEMO."

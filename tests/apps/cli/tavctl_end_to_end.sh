#!/bin/bash
# The real tavctl from end to end: backups, find, history, the --json output of every
# command that has it (parsed), and a dry run compared with the restore that follows it.
# Usage: tavctl_end_to_end.sh TAVCTL
set -eu
TAVCTL=$1
command -v python3 >/dev/null || { echo "python3 is needed to read the JSON output" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
mkdir -p data/sub repo
printf 'first\n' > data/a.txt
head -c 300000 /dev/urandom > data/sub/b.bin
printf 'gone soon\n' > data/old.txt
export TAVORA_HOME=$dir/home
"$TAVCTL" job new j.tvj --location repo --name store --title Daily > /dev/null
"$TAVCTL" job add j.tvj data > /dev/null
"$TAVCTL" backup j.tvj --json > backup1.json
sleep 1
printf 'second version\n' > data/a.txt
rm data/old.txt
"$TAVCTL" backup j.tvj --json > backup2.json

# Every JSON document parses; listings are one object per line.
check_json() {  # FILE KIND: "doc" or "lines"
    python3 -c '
import json, sys
text = open(sys.argv[1]).read()
docs = [json.loads(l) for l in text.splitlines()] if sys.argv[2] == "lines" else [json.loads(text)]
assert docs, "no output"
' "$1" "$2"
}
"$TAVCTL" info repo/store.tvr --json > info.json
"$TAVCTL" baselines repo/store.tvr --json > baselines.json
"$TAVCTL" ls repo/store.tvr "$dir/data" -a --json > ls.json
"$TAVCTL" find repo/store.tvr '*.txt' --all-baselines --json > find.json
(cd data && "$TAVCTL" history ../repo/store.tvr a.txt --json) > history.json
"$TAVCTL" check repo/store.tvr --read-data --json > check.json
for f in backup1 backup2 info check; do check_json $f.json doc; done
for f in baselines ls find history; do check_json $f.json lines; done

python3 - "$dir" <<'PY'
import json, sys
d = sys.argv[1]
def lines(name): return [json.loads(l) for l in open(f"{d}/{name}.json")]
def doc(name): return json.load(open(f"{d}/{name}.json"))
assert doc("backup1")["files_added"] == 3, doc("backup1")
assert doc("backup2")["files_updated"] == 1 and doc("backup2")["files_deleted"] == 1
assert doc("info")["baselines"] == 2
assert [b["number"] for b in lines("baselines")] == [0, 1, 2]
assert lines("baselines")[1]["bytes_added"] == 300000 + 6 + 10
ls = {r["name"]: r for r in lines("ls")}
assert ls["old.txt"]["status"] == "Deleted" and ls["a.txt"]["status"] == "Updated", ls
found = {(r["baseline"], r["path"].rsplit("/", 1)[1]) for r in lines("find")}
assert found == {(1, "a.txt"), (1, "old.txt"), (2, "a.txt")}, found
history = lines("history")
assert [(h["baseline"], h["size"], h["status"]) for h in history] == [(1, 6, "Added"), (2, 15, "Updated")]
assert doc("check")["ok"] and doc("check")["problem_count"] == 0
PY

# A restore says where it writes; a dry run agrees with the restore that follows it.
if "$TAVCTL" restore repo/store.tvr > /dev/null 2>&1; then echo "restore without --to or --in-place ran"; exit 1; fi
printf 'mine\n' > data/a.txt                 # newer than the stored one: kept, and named
"$TAVCTL" restore repo/store.tvr --in-place --dry-run --json > dry.json
"$TAVCTL" restore repo/store.tvr --in-place --json > real.json
python3 - "$dir" <<'PY'
import json, sys
d = sys.argv[1]
def load(name): return [json.loads(l) for l in open(f"{d}/{name}.json")]
dry, real = load("dry"), load("real")
summary = lambda rows: [r for r in rows if r["type"] == "summary"][0]
assert summary(dry)["dry_run"] and not summary(real)["dry_run"]
assert summary(dry)["modules"] == summary(real)["modules"], (summary(dry), summary(real))
actions = {r["path"].rsplit("/", 1)[1]: r["action"] for r in dry if r["type"] == "file"}
assert actions == {"a.txt": "keep", "b.bin": "skip"}, actions
assert summary(real)["modules"][0]["kept_differing"] == 1
PY
test "$(cat data/a.txt)" = mine
echo "end to end: ok"

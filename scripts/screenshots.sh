#!/usr/bin/env bash
# Builds the suite and the demo repository (scripts/demo.sh), then opens the browser's and
# the editor's windows on it under Xvfb and saves PNG screenshots in docs/screenshots/.
set -Eeuo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
DEMO="${DEMO_DIR:-$ROOT/demo}"
OUT="$ROOT/docs/screenshots"

DEMO_DIR="$DEMO" bash scripts/demo.sh >/dev/null
cmake --build "${BUILD_DIR:-build}" --target TvrBrowserShots TavoraShots TavoraRunShots TavCmdHostShots tavctl >/dev/null
export TAVORA_HOME="$DEMO/settings"
mkdir -p "$TAVORA_HOME" "$OUT"
xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$ROOT/${BUILD_DIR:-build}/bin/TvrBrowserShots" "$DEMO/repository/demo.tvr" "$OUT" notes
# The message viewer is shown over a small message store of the shared test files, when
# they are there ($TAV_TESTDATA, else ../shared/testdata).
STORE="${TAV_TESTDATA:-$ROOT/../shared/testdata}/dbx/Mail-Transport-Dbx/test1.dbx"
[ -f "$STORE" ] || STORE=""
xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$ROOT/${BUILD_DIR:-build}/bin/TavoraShots" "$DEMO/demo.tvj" "$OUT" ${STORE:+"$STORE"}
# SCHEDULE with two schedules, STATUS after a Backup Now, HISTORY with the demo's runs.
xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$ROOT/${BUILD_DIR:-build}/bin/TavoraRunShots" "$DEMO/demo.tvj" "$OUT"
# The command host's window during a run (Xvfb has no tray: the window alone), over a few
# MB of its own, slowed down so that the shot catches the run under way.
SHOT="$DEMO/host-shot"
rm -rf "$SHOT"
mkdir -p "$SHOT/Pictures/2024" "$SHOT/repository"
for i in 1 2 3 4 5 6; do head -c 700000 /dev/urandom > "$SHOT/Pictures/2024/IMG_000$i.jpg"; done
"$ROOT/${BUILD_DIR:-build}/bin/tavctl" job new "$SHOT/pictures.tvj" --location "$SHOT/repository" \
    --name pictures --title "Pictures" >/dev/null
"$ROOT/${BUILD_DIR:-build}/bin/tavctl" job add "$SHOT/pictures.tvj" "$SHOT/Pictures" >/dev/null
TAVORA_TEST_THROTTLE_MS=60 xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$ROOT/${BUILD_DIR:-build}/bin/TavCmdHostShots" "$SHOT/pictures.tvj" "$OUT"
ls -l "$OUT"

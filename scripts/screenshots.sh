#!/usr/bin/env bash
# Builds the suite and the demo repository (scripts/demo.sh), then opens the browser's and
# the editor's windows on it under Xvfb and saves PNG screenshots in docs/screenshots/.
# For the Outlook Express viewer it also backs up a store of real .dbx files (the shared
# test data, copied into a Wine-style folder under the demo folder, never into the repository).
set -Eeuo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
DEMO="${DEMO_DIR:-$ROOT/demo}"
OUT="$ROOT/docs/screenshots"

DEMO_DIR="$DEMO" bash scripts/demo.sh >/dev/null
cmake --build "${BUILD_DIR:-build}" --target TvrBrowserShots TavoraShots TavoraRunShots TavCmdHostShots tavctl >/dev/null
export TAVORA_HOME="$DEMO/settings"
mkdir -p "$TAVORA_HOME" "$OUT"

# An Outlook Express identity in a Wine-style prefix, its store backed up by tavctl.
TAVCTL="$ROOT/${BUILD_DIR:-build}/bin/tavctl"
DBX="$ROOT/../shared/testdata/dbx/DbxOutlookExpress"
[ -d "$DBX" ] || DBX=/work/shared/testdata/dbx/DbxOutlookExpress
OE="$DEMO/oe"
ID="{5C1D0A3E-1111-4A4A-9A9A-00000000000A}"
STORE="$OE/prefix/drive_c/users/anna/Local Settings/Application Data/Identities/$ID/Microsoft/Outlook Express"
OE_ARGS=()
if [ -d "$DBX" ]; then
    rm -rf "$OE"
    mkdir -p "$STORE" "$OE/repository"
    cp "$DBX"/*.dbx "$STORE/"
    sed "s/@ID@/$ID/g" > "$OE/identities.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Environment]
"USERPROFILE"="C:\\users\\anna"

[HKEY_CURRENT_USER\Identities\@ID@]
"Username"="Main Identity"

[HKEY_CURRENT_USER\Identities\@ID@\Software\Microsoft\Outlook Express\5.0]
"Store Root"="%UserProfile%\\Local Settings\\Application Data\\Identities\\@ID@\\Microsoft\\Outlook Express"
REG
    export WINEPREFIX="$OE/prefix"
    "$TAVCTL" registry import "$OE/identities.reg" >/dev/null
    "$TAVCTL" job new "$OE/mail.tvj" --location "$OE/repository" --name mail --title "Mail" >/dev/null
    "$TAVCTL" job oe "$OE/mail.tvj" add "Main Identity" >/dev/null
    "$TAVCTL" backup "$OE/mail.tvj" >/dev/null
    OE_ARGS=(--oe "$OE/repository/mail.tvr")
else
    echo "screenshots: no .dbx test data at $DBX; the message viewer is left out" >&2
fi

xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$ROOT/${BUILD_DIR:-build}/bin/TvrBrowserShots" "$DEMO/repository/demo.tvr" "$OUT" notes "${OE_ARGS[@]}"
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

#!/usr/bin/env bash
# Installs the build into a temporary prefix (a folder name with a space), moves the prefix
# elsewhere, and runs a real backup with the installed programs: they must find their
# libraries and modules inside the prefix, never in the build tree.
#   InstallTest.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
SRC=$1
BUILD=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tav-install~XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

prefix="$work/first prefix"
bash "$SRC/scripts/install.sh" --no-build --build-dir "$BUILD" --prefix "$prefix"
for f in bin/TavCmdHost bin/tavctl lib/libTavRep.so lib/libTavEngine.so \
         lib/tavora/modules/filesmodule.so lib/tavora/modules/oemodule.so; do
    [ -e "$prefix/$f" ] || fail "$f is not installed"
done
for f in "$prefix"/bin/* "$prefix"/lib/*.so "$prefix"/lib/tavora/modules/*.so; do
    runpath=$(readelf -d "$f" | grep -E 'R(UN)?PATH' || true)
    case "$runpath" in
        *'$ORIGIN'*) ;;
        *) fail "$f has no \$ORIGIN-relative RUNPATH: $runpath" ;;
    esac
    case "$runpath" in
        *"$BUILD"*) fail "$f still looks into the build tree: $runpath" ;;
    esac
done

# A moved prefix still works: nothing depends on where it was installed.
moved="$work/moved"
mv "$prefix" "$moved"
unset TAVORA_MODULE_PATH LD_LIBRARY_PATH
export TAVORA_HOME="$work/settings"
mkdir -p "$work/data/sub" "$work/repo"
printf 'installed and backed up\n' > "$work/data/sub/note.txt"

"$moved/bin/tavctl" job new "$work/tiny.tvj" --location "$work/repo" --name tiny
"$moved/bin/tavctl" job add "$work/tiny.tvj" "$work/data"
LD_DEBUG=files "$moved/bin/TavCmdHost" JOB_BACKUP "$work/tiny.tvj" FULL SW_HIDE 2> "$work/loader.txt" ||
    { cat "$work/loader.txt" >&2; fail "TavCmdHost did not commit the backup"; }
for lib in libTavRep.so libTavEngine.so filesmodule.so oemodule.so; do
    loaded=$(grep -o "calling init: .*/$lib\$" "$work/loader.txt" | head -n 1 | sed 's/^calling init: //')
    case "$loaded" in
        "$moved"/*) ;;
        *) fail "$lib was loaded from '$loaded', not from the installed prefix" ;;
    esac
done
"$moved/bin/tavctl" ls -r "$work/repo/tiny.tvr" | grep -q note.txt || fail "the backup does not list note.txt"
[ "$("$moved/bin/tavctl" cat "$work/repo/tiny.tvr" "$work/data/sub/note.txt")" = "installed and backed up" ] ||
    fail "the stored file reads back differently"
echo "installed programs ran a backup from $moved"

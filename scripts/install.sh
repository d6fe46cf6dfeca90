#!/usr/bin/env bash
# Installs the suite: the programs into PREFIX/bin, the libraries into PREFIX/lib and the
# modules into PREFIX/lib/tavora/modules (the programs find them there through their
# $ORIGIN-relative RUNPATH, so the prefix may also be moved as a whole).
#
#   scripts/install.sh [--prefix DIR] [--build-dir DIR] [--no-build]
#
# PREFIX defaults to /usr/local (run as root, or with sudo, for a system folder); the build
# folder to ./build, which is built first with scripts/setup.sh unless --no-build is given.
set -euo pipefail
cd "$(dirname "$0")/.."

PREFIX=/usr/local
BUILD_DIR=${BUILD_DIR:-build}
BUILD=1
while [ $# -gt 0 ]; do
    case "$1" in
        --prefix) PREFIX=${2:?--prefix needs a folder}; shift 2 ;;
        --prefix=*) PREFIX=${1#--prefix=}; shift ;;
        --build-dir) BUILD_DIR=${2:?--build-dir needs a folder}; shift 2 ;;
        --build-dir=*) BUILD_DIR=${1#--build-dir=}; shift ;;
        --no-build) BUILD=0; shift ;;
        -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "install.sh: unknown option '$1' (see --help)" >&2; exit 2 ;;
    esac
done
case "$PREFIX" in
    /*) ;;
    *) PREFIX="$(pwd)/$PREFIX" ;;
esac

if [ "$BUILD" = 1 ]; then
    BUILD_DIR="$BUILD_DIR" bash scripts/setup.sh
elif [ ! -f "$BUILD_DIR/cmake_install.cmake" ]; then
    echo "install.sh: $BUILD_DIR is not a configured build folder; run scripts/setup.sh first" >&2
    exit 1
fi

mkdir -p "$PREFIX" 2>/dev/null || true
if [ ! -w "$PREFIX" ]; then
    echo "install.sh: cannot write to $PREFIX; run it as root (sudo) or give --prefix" >&2
    exit 1
fi
cmake --install "$BUILD_DIR" --prefix "$PREFIX" >/dev/null

echo "Installed into $PREFIX:"
for program in TavCmdHost tavctl TvrBrowser tavora; do
    [ -x "$PREFIX/bin/$program" ] && echo "  $PREFIX/bin/$program"
done
echo "  modules in $PREFIX/lib/tavora/modules"
case ":$PATH:" in
    *":$PREFIX/bin:"*) ;;
    *) echo "Add $PREFIX/bin to PATH to run tavctl and TavCmdHost by name." ;;
esac

#!/usr/bin/env bash
# Builds everything and runs every test (CTest over GoogleTest).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j "$(nproc)"

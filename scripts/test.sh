#!/bin/sh
# Installs what is missing, builds with warnings as errors and runs every test, headless.
# Usage: scripts/test.sh [PRESET]   (default dev; asan, tsan, cli-only, release also work)
set -eu
cd "$(dirname "$0")/.."
preset="${1:-dev}"
if [ "$preset" = "cli-only" ]; then scripts/install-deps.sh --no-gui; else scripts/install-deps.sh; fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
QT_QPA_PLATFORM=offscreen ctest --preset "$preset" -j2

#!/bin/sh
# Installs what is missing, builds the release preset and runs the program: the dialog where
# there is a display, the command-line tool over the sample lists in examples/ where there is none.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/release/app/trelvane ]; then
    exec build/release/app/trelvane
fi
exec examples/walkthrough.sh build/release/cli/trelvane-cli

#!/bin/sh
# Runs the command-line tool over the sample lists and shows the result.
set -eu
cli="${1:?usage: walkthrough.sh PATH-TO-trelvane-cli}"
echo "(the sample lists are filled in with the command-line tool)"
"$cli" --version || true

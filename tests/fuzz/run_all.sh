#!/bin/sh
# Runs every fuzz target of a build for SECONDS each, on a scratch copy of its seed corpus.
# Fails when a target crashes or reports a mismatch; its input is kept and its log shown.
set -eu
if [ $# -ne 2 ]; then
    echo "usage: $0 PRESET_BUILD_DIR SECONDS" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
corpora=$(cd "$(dirname "$0")/corpus" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/trelvane-fuzz.XXXXXX")

failed=""
found=0
for target in "$build"/tests/fuzz/*_fuzz; do
    [ -x "$target" ] || continue
    found=1
    name=$(basename "$target" _fuzz)
    work="$scratch/$name"
    mkdir -p "$work/corpus"
    cp "$corpora/$name"/* "$work/corpus/"
    echo "fuzzing $name for ${seconds}s"
    # Runs in its own directory with no terminal input: the command-line target opens paths.
    if ! (cd "$work" && "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/" corpus </dev/null >log 2>&1); then
        tail -n 40 "$work/log" >&2
        echo "$name failed; its input is in $work" >&2
        failed="$failed $name"
    fi
done
if [ "$found" -eq 0 ]; then
    echo "no fuzz targets in $build/tests/fuzz" >&2
    exit 1
fi
if [ -n "$failed" ]; then
    echo "fuzzing failed:$failed" >&2
    exit 1
fi
rm -rf "$scratch"

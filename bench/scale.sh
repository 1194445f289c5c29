#!/bin/sh
# How trelvane-cli grows with the list: one generated list per size, timed in memory and, with a
# limit, again under --memory-limit; each size's seconds and peak memory against the first size.
# Usage: bench/scale.sh [BUILD_DIR [SIZES [LIMIT]]]
#   defaults: build/bench "10000000 30000000 100000000" and no limited runs; e.g. LIMIT 512M.
# One run per size (100 M lines take minutes and 3.2 GB, plus as much again for the output and,
# with a limit, for the temporary runs, under ${TMPDIR:-/tmp}). Needs GNU time.
set -eu
cd "$(dirname "$0")/.."
build="${1:-build/bench}"
sizes="${2:-10000000 30000000 100000000}"
limit="${3:-}"
cli="$build/cli/trelvane-cli"
generator="$build/bench/list_generator"
for program in "$cli" "$generator" /usr/bin/time; do
    [ -x "$program" ] || { echo "scale.sh: $program is missing" >&2; exit 2; }
done
work="$(mktemp -d "${TMPDIR:-/tmp}/trelvane-scale.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Runs trelvane-cli with the given options on the list; prints its wall seconds and peak KB.
measure() {
    sync
    /usr/bin/time -v -o "$work/time.txt" "$cli" -q "$@" -o "$work/out.txt" "$work/input.txt" \
        > "$work/stdout.txt"
    awk -F': ' '
        /Elapsed \(wall clock\)/ { n = split($2, part, ":"); s = 0
                                   for (i = 1; i <= n; i++) s = s * 60 + part[i] }
        /Maximum resident set size/ { kb = $2 }
        END { print s, kb }' "$work/time.txt"
}

printf '%-12s %-8s %9s %9s %8s %9s %9s\n' lines limit seconds "x first" "x lines" "peak MB" "x input"
first=""
for lines in $sizes; do
    echo "generating $lines lines ..." >&2
    "$generator" list "$lines" > "$work/input.txt"
    bytes="$(wc -c < "$work/input.txt")"
    cat "$work/input.txt" > /dev/null
    for run in memory ${limit:+limited}; do
        echo "timing $lines lines ($run) ..." >&2
        if [ "$run" = memory ]; then
            result="$(measure)"
            counts="$(tail -n 1 "$work/stdout.txt")"
            runLimit="-"
        else
            result="$(measure --memory-limit "$limit")"
            [ "$(tail -n 1 "$work/stdout.txt")" = "$counts" ] || echo "counts differ: $(cat "$work/stdout.txt")" >&2
            runLimit="$limit"
        fi
        seconds="${result% *}"
        kb="${result#* }"
        [ -n "$first" ] || first="$lines $seconds"
        awk -v lines="$lines" -v limit="$runLimit" -v s="$seconds" -v kb="$kb" -v bytes="$bytes" \
            -v first="$first" 'BEGIN {
            split(first, f, " ")
            printf "%-12s %-8s %9.2f %9.2f %8.2f %9.1f %9.2f\n", lines, limit, s, s / f[2],
                   lines / f[1], kb / 1024, kb * 1024 / bytes }'
    done
    rm -f "$work/input.txt" "$work/out.txt"
done

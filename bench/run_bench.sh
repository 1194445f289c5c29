#!/bin/sh
# Times trelvane-cli against `LC_ALL=C sort -u` on one generated list, in one run: medians of
# several runs with a warm page cache, lines per second, peak memory, and their ratio; then the
# cost of a delete list of 300 suffixes and an exclusion file of 200,000 lines on the same list,
# and the cost of the removal report (each run right after a plain one).
# Usage: bench/run_bench.sh [BUILD_DIR [LINES [RUNS]]]   (defaults: build/bench 10000000 3)
# BUILD_DIR is a build with -DTRELVANE_BUILD_BENCH=ON, as the bench preset makes. Needs GNU
# time (/usr/bin/time, Debian package time) and about 4 times the list's size in free space
# under ${TMPDIR:-/tmp}.
set -eu
cd "$(dirname "$0")/.."
build="${1:-build/bench}"
lines="${2:-10000000}"
runs="${3:-3}"
cli="$build/cli/trelvane-cli"
generator="$build/bench/list_generator"
for program in "$cli" "$generator" /usr/bin/time; do
    [ -x "$program" ] || { echo "run_bench.sh: $program is missing" >&2; exit 2; }
done
work="$(mktemp -d "${TMPDIR:-/tmp}/trelvane-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

echo "generating $lines lines ..." >&2
"$generator" list "$lines" > "$work/input.txt"
"$generator" exclusions 200000 "$lines" > "$work/exclusions.txt"
suffixes="$("$generator" suffixes 300)"
cat "$work/input.txt" "$work/exclusions.txt" > /dev/null

# Runs a command under GNU time; appends its wall seconds and peak kilobytes to $work/<name>.
# Each run starts with the files of the runs before it on disk, so that none pays for their
# writing back.
measure() {
    name="$1"
    shift
    sync
    /usr/bin/time -v -o "$work/time.txt" "$@" > /dev/null
    awk -F': ' '
        /Elapsed \(wall clock\)/ { n = split($2, part, ":"); s = 0
                                   for (i = 1; i <= n; i++) s = s * 60 + part[i] }
        /Maximum resident set size/ { kb = $2 }
        END { print s, kb }' "$work/time.txt" >> "$work/$name"
}

# The median of column 1 (seconds) or 2 (kilobytes) of a measurement file.
median() {
    cut -d' ' -f"$2" "$work/$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

for run in $(seq "$runs"); do
    echo "run $run of $runs ..." >&2
    measure sort env LC_ALL=C sort -u -o "$work/sorted.txt" "$work/input.txt"
    measure plain "$cli" -q -o "$work/plain.txt" "$work/input.txt"
    measure filtered "$cli" -q --delete-suffixes "$suffixes" --exclude "$work/exclusions.txt" \
        -o "$work/filtered.txt" "$work/input.txt"
    measure report "$cli" -q --report "$work/report.txt" -o "$work/reported.txt" "$work/input.txt"
done

inputBytes="$(wc -c < "$work/input.txt")"
distinct="$(wc -l < "$work/sorted.txt")"
same="no"
cmp -s "$work/sorted.txt" "$work/plain.txt" && same="yes"
sortSeconds="$(median sort 1)"
plainSeconds="$(median plain 1)"

row() {
    awk -v label="$1" -v s="$2" -v kb="$3" -v lines="$lines" -v bytes="$inputBytes" \
        -v base="$sortSeconds" -v plain="$plainSeconds" -v extra="$4" 'BEGIN {
        note = ""
        if (extra == "cost") note = sprintf("   %+.0f%% against the plain job", (s / plain - 1) * 100)
        printf "%-40s %8.2f %11.0f %9.1f %7.2f %8.2f%s\n", label, s, lines / s, kb / 1024,
               kb * 1024 / bytes, s / base, note }'
}

printf '\n%s lines, %.1f MB, %s distinct; medians of %s runs, warm page cache\n' \
    "$lines" "$(awk -v b="$inputBytes" 'BEGIN { print b / 1e6 }')" "$distinct" "$runs"
printf '%-40s %8s %11s %9s %7s %8s\n' "" "seconds" "lines/s" "peak MB" "x input" "x sort"
row "LC_ALL=C sort -u" "$sortSeconds" "$(median sort 2)" ""
row "trelvane-cli" "$plainSeconds" "$(median plain 2)" ""
row "trelvane-cli, 300 suffixes, 200k excl." "$(median filtered 1)" "$(median filtered 2)" cost
row "trelvane-cli --report" "$(median report 1)" "$(median report 2)" cost
echo "trelvane-cli output equals that of sort -u: $same"
sameReported="no"
cmp -s "$work/plain.txt" "$work/reported.txt" && sameReported="yes"
echo "trelvane-cli output with --report equals that without: $sameReported"

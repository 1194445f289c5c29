#!/bin/bash
# Runs one fault case of trelvane-cli: failures, signals and code pages, each in a fresh folder.
# Usage: fault_case.sh CLI WORK CASE. Exits 0 when the case holds, 1 with the reasons when it does
# not, 77 when this machine cannot set the case up (no root for a small file system, no locale).
set -u
cli=$1
work=$2
case_name=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

# Job control: background jobs get SIGINT, which a script's background jobs otherwise ignore.
set -m

failures=0
fail() {
    echo "FAIL: $*"
    failures=1
}
skip() {
    echo "SKIP: $*"
    exit 77
}

# Expects file $1 to hold exactly the bytes of the string $2 (printf format).
expect_bytes() {
    printf "$2" | cmp -s - "$1" || fail "$1 changed: $(od -c "$1" 2>&1 | head -3)"
}
# Expects folder $1 to hold exactly the names $2..., hidden ones included.
expect_names() {
    local folder=$1
    shift
    local actual expected
    actual=$(ls -A "$folder" | sort | tr '\n' ' ')
    expected=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
    [ "$actual" = "$expected" ] || fail "$folder holds [$actual], expected [$expected]"
}
expect_status() {
    [ "$1" = "$2" ] || fail "exit status $1, expected $2"
}
expect_stderr_has() {
    grep -qF -- "$1" stderr || fail "stderr lacks '$1': $(cat stderr)"
}

# A run of an earlier job: out.txt and two volumes, which a failed or stopped run must keep.
earlier_run() {
    mkdir -p "$1"
    printf 'earlier0\r\n' > "$1/out.txt"
    printf 'earlier1\r\n' > "$1/out.txt.part1.txt"
    printf 'earlier2\r\n' > "$1/out.txt.part2.txt"
}
expect_earlier_run() {
    expect_bytes "$1/out.txt" 'earlier0\r\n'
    expect_bytes "$1/out.txt.part1.txt" 'earlier1\r\n'
    expect_bytes "$1/out.txt.part2.txt" 'earlier2\r\n'
}

# Lines user<n>@example.com for n from 1 to $1.
addresses() {
    awk -v n="$1" 'BEGIN { for (i = 1; i <= n; ++i) printf "user%d@example.com\n", i }'
}

# Stops a job with signal $1 while it reads its input: the input is a pipe that gives nothing
# until the signal has been sent.
signal_in_processing() {
    earlier_run out
    mkfifo input
    exec 3<> input
    "$cli" -q --split 1 -o out/out.txt input 2> stderr 3>&- &
    local pid=$!
    sleep 0.2
    kill -"$1" "$pid"
    # The tool reacts to a signal within 0.2 s; only then may the input end.
    sleep 0.5
    exec 3>&-
    wait "$pid"
    status=$?
    expect_earlier_run out
    expect_names out out.txt out.txt.part1.txt out.txt.part2.txt
}

# Stops a job with signal $1 once its first temporary output file exists; further arguments
# go to the tool. Volumes of ten lines make the output stage last seconds, so that the signal
# comes well before its end however late the polling sees that file.
signal_in_output() {
    local signal=$1
    shift
    earlier_run out
    addresses 300000 > input.txt
    "$cli" -q "$@" --split 10 -o out/out.txt input.txt 2> stderr &
    local pid=$!
    local waited=0
    until compgen -G 'out/.out.txt*.tmp' > /dev/null; do
        sleep 0.002
        waited=$((waited + 1))
        [ "$waited" -lt 5000 ] || break
    done
    kill -"$signal" "$pid"
    wait "$pid"
    status=$?
    expect_earlier_run out
    expect_names out out.txt out.txt.part1.txt out.txt.part2.txt
}

# Lines of user<n>@example.com in a scrambled order, each of 1500 numbers about four times.
scrambled_addresses() {
    awk 'BEGIN { for (i = 1; i <= 6000; ++i) printf "user%d@example.com\n", i * 7919 % 1500 }'
}

# Makes locale $1 with codeset $2 in a folder of its own; skips when this system cannot.
make_locale() {
    mkdir -p locales
    localedef --no-archive -i "$1" -f "$2" "locales/$1.$2" > /dev/null 2>&1 ||
        [ -d "locales/$1.$2" ] || skip "cannot make the locale $1.$2"
    export LOCPATH=$work/locales LC_ALL=$1.$2
    [ "$(locale charmap 2> /dev/null)" = "$2" ] || skip "the locale $1.$2 does not load"
}

case $case_name in
volume_is_folder)
    earlier_run out
    rm out/out.txt.part2.txt
    mkdir out/out.txt.part2.txt
    addresses 5 > input.txt
    "$cli" --split 2 -o out/out.txt input.txt > stdout 2> stderr
    expect_status $? 1
    expect_stderr_has "打开输出文件失败！out/out.txt.part2.txt: Is a directory"
    expect_bytes out/out.txt 'earlier0\r\n'
    expect_bytes out/out.txt.part1.txt 'earlier1\r\n'
    expect_names out out.txt out.txt.part1.txt out.txt.part2.txt
    ;;
disk_full)
    [ "$(id -u)" = 0 ] || skip "mounting a small file system needs root"
    mkdir small
    mount -t tmpfs -o size=64k tmpfs small 2> /dev/null || skip "cannot mount a tmpfs here"
    earlier_run small
    addresses 20000 > input.txt
    "$cli" --split 10000 -o small/out.txt input.txt > stdout 2> stderr
    expect_status $? 1
    expect_stderr_has "写入输出文件失败！small/out.txt: No space left on device"
    expect_earlier_run small
    expect_names small out.txt out.txt.part1.txt out.txt.part2.txt
    umount small
    ;;
file_size_limit)
    # The same failure without root: a write beyond the file size limit fails with EFBIG.
    earlier_run out
    addresses 20000 > input.txt
    (
        trap '' XFSZ
        ulimit -f 64
        exec "$cli" -o out/out.txt input.txt > stdout 2> stderr
    )
    expect_status $? 1
    expect_stderr_has "写入输出文件失败！out/out.txt: File too large"
    expect_earlier_run out
    expect_names out out.txt out.txt.part1.txt out.txt.part2.txt
    ;;
sigint_in_processing)
    signal_in_processing INT
    expect_status "$status" 130
    ;;
sigterm_in_processing)
    signal_in_processing TERM
    expect_status "$status" 143
    ;;
sigint_in_output)
    signal_in_output INT
    expect_status "$status" 130
    ;;
sigterm_in_output)
    signal_in_output TERM
    expect_status "$status" 143
    ;;
sighup_in_output)
    signal_in_output HUP
    expect_status "$status" 129
    ;;
spill_same_as_memory)
    # Thousands of runs under a limit of a few kilobytes: the same files, the same counts and
    # the same removal report (in another order) as in memory, in both orders, and nothing left
    # in TMPDIR.
    mkdir tmp
    export TMPDIR=$work/tmp
    scrambled_addresses > input.txt
    printf 'user7@example.com\n\n\nuser1499@example.com\n' > second.txt
    for order in "" --descending; do
        "$cli" $order --split 700 --report memory.report -o memory.txt input.txt second.txt \
            > memory.stdout 2>> stderr
        expect_status $? 0
        "$cli" $order --memory-limit 4K --split 700 --report runs.report -o runs.txt input.txt \
            second.txt > runs.stdout 2>> stderr
        expect_status $? 0
        for volume in "" .part1.txt .part2.txt; do
            cmp -s memory.txt$volume runs.txt$volume || fail "runs.txt$volume differs ($order)"
        done
        sort memory.report > memory.sorted
        sort runs.report > runs.sorted
        cmp -s memory.sorted runs.sorted || fail "reports differ ($order)"
        grep -qF "$(printf 'duplicate\t%s\t1\t%s\t' second.txt input.txt)" runs.report ||
            fail "no repeat across files in the report ($order)"
        cmp -s memory.stdout runs.stdout || fail "counts differ ($order): $(cat runs.stdout)"
        grep -qF '过滤数量：4503条 处理后数量：1500条' runs.stdout || fail "counts: $(cat runs.stdout)"
    done
    [ ! -s stderr ] || fail "stderr not empty: $(cat stderr)"
    [ -z "$(ls -A tmp)" ] || fail "tmp holds $(ls -A tmp)"
    ;;
spill_folder_missing)
    earlier_run out
    scrambled_addresses > input.txt
    TMPDIR=$work/missing "$cli" --memory-limit 4K -o out/out.txt input.txt > stdout 2> stderr
    expect_status $? 1
    expect_stderr_has "写入临时文件失败！$work/missing: No such file or directory"
    expect_earlier_run out
    expect_names out out.txt out.txt.part1.txt out.txt.part2.txt
    ;;
spill_file_size_limit)
    # A temporary file that cannot grow, as on a full disk: told, no output, nothing left.
    earlier_run out
    mkdir tmp
    addresses 20000 > input.txt
    (
        trap '' XFSZ
        ulimit -f 64
        TMPDIR=$work/tmp exec "$cli" --memory-limit 4K -o out/out.txt input.txt > stdout 2> stderr
    )
    expect_status $? 1
    expect_stderr_has "写入临时文件失败！$work/tmp: File too large"
    expect_earlier_run out
    expect_names out out.txt out.txt.part1.txt out.txt.part2.txt
    [ -z "$(ls -A tmp)" ] || fail "tmp holds $(ls -A tmp)"
    ;;
sigint_in_merge)
    # Ctrl-C while the runs are merged into the output.
    mkdir tmp
    export TMPDIR=$work/tmp
    signal_in_output INT --memory-limit 64K
    expect_status "$status" 130
    [ -z "$(ls -A tmp)" ] || fail "tmp holds $(ls -A tmp)"
    ;;
sighup_ignored)
    # Under nohup a hangup does not stop the job.
    addresses 300000 > input.txt
    nohup "$cli" -o out.txt input.txt > stdout 2> stderr &
    pid=$!
    sleep 0.2
    kill -HUP "$pid"
    wait "$pid"
    expect_status $? 0
    [ "$(wc -l < out.txt)" = 300000 ] || fail "out.txt holds $(wc -l < out.txt) lines"
    ;;
stdout_full)
    addresses 3 > input.txt
    "$cli" -o out.txt input.txt > /dev/full 2> stderr
    expect_status $? 1
    expect_stderr_has "写入标准输出失败！stdout: No space left on device"
    expect_bytes out.txt 'user1@example.com\r\nuser2@example.com\r\nuser3@example.com\r\n'
    "$cli" --help > /dev/full 2> stderr
    expect_status $? 1
    expect_stderr_has "写入标准输出失败！"
    ;;
stdout_closed)
    # The reader is gone before the tool writes; SIGPIPE ends it quietly even when the caller
    # ignores SIGPIPE.
    addresses 3 > input.txt
    {
        sleep 0.3
        trap '' PIPE
        "$cli" -o out.txt input.txt 2> stderr
        echo $? > status
    } | true
    expect_status "$(cat status)" 141
    [ ! -s stderr ] || fail "stderr not empty: $(cat stderr)"
    expect_bytes out.txt 'user1@example.com\r\nuser2@example.com\r\nuser3@example.com\r\n'
    ;;
euc_jp_round_trip)
    # Byte pairs that ICU maps to characters only one way must come back unchanged.
    make_locale ja_JP EUC-JP
    printf 'a\x8e\xe0@example.com\nb\xad\xf0@example.com\nc\x8f\xa2\xb7@example.com\nd\xa4\xa2@example.com\n' > input.txt
    "$cli" -o out.txt input.txt > stdout 2> stderr
    expect_status $? 0
    expect_bytes out.txt 'a\x8e\xe0@example.com\r\nb\xad\xf0@example.com\r\nc\x8f\xa2\xb7@example.com\r\nd\xa4\xa2@example.com\r\n'
    ;;
unsupported_codeset)
    make_locale hy_AM ARMSCII-8
    addresses 3 > input.txt
    "$cli" -o out.txt input.txt > stdout 2> stderr
    expect_status $? 0
    expect_stderr_has "不支持系统字符集“ARMSCII-8”"
    [ "$(grep -c ARMSCII-8 stderr)" = 1 ] || fail "told more than once: $(cat stderr)"
    ;;
*)
    fail "no case $case_name"
    ;;
esac

[ "$failures" = 0 ] && rm -rf "$work"
exit "$failures"

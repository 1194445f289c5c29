#!/bin/sh
# Fault cases of trelvane-cli that need a shell: standard input, FIFOs, signals, a memory limit.
# Usage: stream_cases.sh CLI WORK CASE. Exits 0 when the case behaves, else prints why and 1.
set -u
cli=$1 work=$2 case=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

fail() { echo "$case: $*" >&2; exit 1; }

# expect STATUS OUTPUT-BYTES: the last run's status, and out.txt (absent when OUTPUT is "-").
expect() {
    [ "$status" = "$1" ] || fail "exit status $status, expected $1; stderr: $(cat err.txt)"
    if [ "$2" = - ]; then
        [ ! -e out.txt ] || fail "out.txt was left behind"
    else
        printf "$2" > want.txt
        cmp -s want.txt out.txt || fail "out.txt holds '$(cat out.txt 2>/dev/null)'"
    fi
}

printf 'a@x.example\nb@x.example\n' > one.txt
printf 'c@x.example\nb@x.example\n' > two.txt
sorted='a@x.example\r\nb@x.example\r\nc@x.example\r\n'
mkfifo fifo

case $case in
stdin_dash | stdin_device)
    name=-; [ "$case" = stdin_device ] && name=/dev/stdin
    printf 'c@x.example\n' | "$cli" -q -o out.txt one.txt "$name" 2> err.txt
    status=$?; expect 0 "$sorted" ;;
fifo_input)
    printf 'c@x.example\n' > fifo &
    "$cli" -q -o out.txt fifo one.txt 2> err.txt
    status=$?; expect 0 "$sorted" ;;
# The exclusion list of a pipe is read once and must apply to every input file.
exclusion_stdin)
    printf 'b@x.example\nc@x.example\n' | "$cli" -q --exclude - -o out.txt one.txt two.txt 2> err.txt
    status=$?; expect 0 'a@x.example\r\n' ;;
exclusion_fifo)
    printf 'a@x.example\nb@x.example\n' > fifo &
    "$cli" -q --exclude fifo -o out.txt one.txt two.txt 2> err.txt
    status=$?; expect 0 'c@x.example\r\n' ;;
# A FIFO that never delivers: SIGTERM must still end the job within about a second.
sigterm_on_silent_fifo)
    "$cli" -q -o out.txt one.txt fifo 2> err.txt &
    pid=$!
    sleep 0.3
    kill -TERM $pid
    ( sleep 1.5; kill -KILL $pid 2> /dev/null ) > /dev/null 2>&1 &
    watchdog=$!
    wait $pid; status=$?
    kill $watchdog 2> /dev/null
    expect 143 - ;;
# Less memory than the job needs: told, exit 1, no output file.
out_of_memory)
    ( ulimit -v 100000 && seq 1 4000000 | sed 's/$/@x.example/' |
        "$cli" -q -o out.txt - 2> err.txt )
    status=$?; expect 1 -
    [ "$(cat err.txt)" = "trelvane-cli: 内存不足，作业已停止！" ] || fail "stderr: $(cat err.txt)" ;;
*) fail "no such case" ;;
esac

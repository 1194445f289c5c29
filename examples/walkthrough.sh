#!/bin/sh
# Runs the command-line tool over the sample lists in this folder and shows what it writes.
# Usage: examples/walkthrough.sh PATH-TO-trelvane-cli
set -eu
cli="${1:?usage: walkthrough.sh PATH-TO-trelvane-cli}"
case "$cli" in /*) ;; *) cli="$(pwd)/$cli" ;; esac
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$here/customers.txt" "$here/newsletter.txt" "$here/unsubscribed.txt" "$work"
cd "$work"

# Shows the command as one would type it, runs it and reports its exit status.
run() {
    shown="trelvane-cli"
    for argument in "$@"; do
        case "$argument" in
        *[!A-Za-z0-9._/=@-]*) shown="$shown '$argument'" ;;
        *) shown="$shown $argument" ;;
        esac
    done
    printf '\n$ %s\n' "$shown"
    status=0
    "$cli" "$@" || status=$?
    echo "(exit status $status)"
}

# Prints files as they were written, without the CR of their CR LF line ends.
show() {
    for file in "$@"; do
        echo "--- $file"
        sed 's/\r$//' "$file"
    done
}

echo "Sample lists: customers.txt (CR LF, $(wc -l <customers.txt) lines), newsletter.txt" \
    "(LF, $(wc -l <newsletter.txt) lines), unsubscribed.txt (the exclusion file)."

echo
echo "1. Merge both lists, drop the duplicates, sort ascending by UTF-16 code units"
echo "   (capital letters before small ones; letter case makes two addresses different):"
run -o sorted.txt customers.txt newsletter.txt
show sorted.txt

echo
echo "2. Leave out the unsubscribed addresses and every mailbox at lists.example:"
run --exclude unsubscribed.txt --delete-suffixes 'LISTS.EXAMPLE' -o clean.txt \
    customers.txt newsletter.txt
show clean.txt

echo
echo "3. Only the example.com and example.net addresses, descending:"
run --keep-suffixes 'example.com|example.net' --descending -o dotcom.txt \
    customers.txt newsletter.txt
show dotcom.txt

echo
echo "4. Volumes of at most 5 addresses (test addresses not counted), a test address after every 4:"
run --split 5 --test-addresses 'qa@example.com' --test-interval 4 -o mailing.txt \
    customers.txt newsletter.txt
show mailing.txt*

echo
echo "5. A mistake in the options stops before any work is done:"
run --split none -o mailing.txt customers.txt

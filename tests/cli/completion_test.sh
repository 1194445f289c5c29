#!/bin/bash
# Completes command lines with the bash completion of trelvane-cli and checks the candidates.
# Usage: completion_test.sh BASH_COMPLETION_SCRIPT TRELVANE_CLI_COMPLETION
set -u
. "$1"
. "$2"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && touch list.txt other.txt && mkdir sub
failures=0

# check EXPECTED WORD... : completes the last WORD; EXPECTED lists the sorted candidates.
check()
{
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _trelvane_cli trelvane-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" \
        2>/dev/null
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
    if [ "$got" != "$expected" ]; then
        echo "completing '$*': expected '$expected', got '$got'"
        failures=$((failures + 1))
    fi
}

check '--split' trelvane-cli --spl
check '--test-addresses --test-interval' trelvane-cli -q --test-
check '-- --case-variants --delete-suffixes --descending --exclude --exclude-hashed --help --keep-suffixes --memory-limit --output --quiet --report --split --test-addresses --test-interval --version -h -o -q' \
    trelvane-cli -
check 'list.txt' trelvane-cli -o l
check 'list.txt' trelvane-cli --exclude l
check 'list.txt' trelvane-cli --report l
check 'list.txt other.txt sub' trelvane-cli --exclude=''
check '' trelvane-cli --split ''
check '' trelvane-cli --delete-suffixes ''
check 'other.txt' trelvane-cli -o out.txt o
check 'list.txt other.txt sub' trelvane-cli -- ''
exit $((failures > 0))

#!/bin/sh
# Every option that trelvane-cli --help lists is described in each manual page and offered by
# the bash completion, so the three cannot drift apart.
# Usage: option_docs_test.sh TRELVANE_CLI FILE...
set -u
cli="$1"
shift
options=$("$cli" --help | grep -oE -- '(^|[[:space:],])--?[a-z]([a-z-]*[a-z])?' |
    sed 's/^[[:space:],]*//' | sort -u)
[ -n "$options" ] || { echo "no options in --help" && exit 1; }
failures=0
for file in "$@"; do
    # Manual pages write a hyphen as "\-".
    text=$(sed 's/\\-/-/g' "$file")
    for option in $options; do
        if ! printf '%s\n' "$text" | grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)"; then
            echo "$file: $option is missing"
            failures=$((failures + 1))
        fi
    done
done
exit $((failures > 0))

#!/bin/sh
# Lints the manual page with both formatters a system may render it with;
# any message, down to mandoc's style suggestions, fails the test.
# Usage: man_lint.sh PAGE
set -u
page=$1
command -v mandoc > /dev/null || { echo "skipped: mandoc is not installed"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

# Messages about cross-references (.Xr) depend on which pages and which
# mandoc.db this machine has, not on the page, so they are left out.
mandoc -Tlint -W style "$page" > "$tmp/out" 2>&1
status=$?
grep -v -e 'mandoc\.db lacks' -e 'referenced manual not found' "$tmp/out" > "$tmp/msg"
if [ -s "$tmp/msg" ] || [ "$status" -gt 1 ]; then
    echo "mandoc (status $status):"
    cat "$tmp/msg"
    failed=1
fi

if command -v groff > /dev/null; then
    groff -mandoc -ww -z "$page" > "$tmp/out" 2>&1
    if [ -s "$tmp/out" ]; then
        echo "groff:"
        cat "$tmp/out"
        failed=1
    fi
else
    echo "note: groff is not installed, checked with mandoc only"
fi
[ "$failed" -eq 0 ] && echo "no messages"
exit "$failed"

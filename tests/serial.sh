#!/bin/sh
# The manual's serial recipe: a terminal device set raw first passes the
# program's output on byte for byte, where one in its default modes turns
# every 0x0A into 0x0D 0x0A. A pseudo-terminal (pty_run) stands in for the
# serial port.
# Usage: serial.sh PIXSTREAM PTY_RUN
set -u
prog=$1
pty_run=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

hex() { od -An -tx1 -v | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }

# Six pixels whose colour 1 is 10: header 10, then 0a 00 00.
awk 'BEGIN { for (i = 0; i < 6; i++) printf "[0,10,0,0],"; print "" }' > "$tmp/ten.json"
# Six pixels whose colour 1 is v, for every byte value v.
awk 'BEGIN { for (v = 0; v < 256; v++) for (i = 0; i < 6; i++) printf "[0,%d,0,0],", v; print "" }' > "$tmp/all.json"
awk 'BEGIN { printf "0d"; for (v = 0; v < 256; v++) printf " %02x 00 00", v; print "" }' > "$tmp/all.hex"

# check NAME COMMAND EXPECTED_HEX: COMMAND runs with the terminal in $TTY.
check() {
    if ! "$pty_run" "$2" > "$tmp/got"; then
        failed=$((failed + 1))
        echo "FAIL: $1: the command failed"
        return
    fi
    got=$(hex < "$tmp/got")
    if [ "$got" != "$3" ]; then
        failed=$((failed + 1))
        echo "FAIL: $1"
        echo "  got    [$got]"
        echo "  expect [$3]"
    fi
}

check "default modes rewrite 0a" "'$prog' 10 < '$tmp/ten.json' > \"\$TTY\"" "0d 0a 0d 0a 00 00"
check "raw keeps 0a" "stty -F \"\$TTY\" 115200 raw -echo && '$prog' 10 < '$tmp/ten.json' > \"\$TTY\"" "0a 0a 00 00"
check "raw keeps every byte" "stty -F \"\$TTY\" 115200 raw -echo && '$prog' 13 < '$tmp/all.json' > \"\$TTY\"" \
    "$(cat "$tmp/all.hex")"

[ "$failed" -eq 0 ] && echo "serial: 3 cases passed"
[ "$failed" -eq 0 ]

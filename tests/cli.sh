#!/bin/sh
# End-to-end tests: runs the built program through real pipes and files and
# checks its exact output bytes, standard error and exit status.
# Usage: cli.sh PIXSTREAM EXEC_EMPTY_ARGV FAIL_IO
# A cross build sets PIXSTREAM_EMULATOR to a qemu-user command line.
# PIXSTREAM_RUNNER, if set, is a command that runs each program (valgrind).
set -u
prog=$1
exec_empty_argv=$2
fail_io=$3
runner=${PIXSTREAM_RUNNER:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
emulator=${PIXSTREAM_EMULATOR:-}
if [ -n "$emulator" ]; then
    # Runs the program under the emulator; qemu's -0 passes on argv[0] as
    # invoked, which the usage text shows.
    printf '#!/bin/sh\nexec %s -0 "$0" %s "$@"\n' "$emulator" "$prog" > "$tmp/pixstream"
    chmod +x "$tmp/pixstream"
    prog=$tmp/pixstream
fi
passed=0
failed=0

hex() { od -An -tx1 -v | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }

# expect NAME STATUS HEX STDERR_LINES: compares with the last run().
expect() {
    got_hex=$(hex < "$tmp/out")
    got_err=$(wc -l < "$tmp/err" | tr -d ' ')
    if [ "$got_status" = "$2" ] && [ "$got_hex" = "$3" ] && [ "$got_err" = "$4" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $1"
        echo "  status $got_status, expected $2"
        echo "  output [$got_hex]"
        echo "  expect [$3]"
        echo "  stderr ($got_err lines, expected $4):"
        sed 's/^/    /' "$tmp/err"
    fi
}

# run INPUT_FILE ARGS...: runs the program, standard output to $tmp/out.
run() {
    input=$1
    shift
    $runner "$prog" "$@" < "$input" > "$tmp/out" 2> "$tmp/err"
    got_status=$?
}

six='[[10,20,30,40],[10,20,30,40],[10,20,30,40],[10,20,30,40],[10,20,30,40],[10,20,30,40]]'
printf '%s' "$six" > "$tmp/six"
printf '%s,[1,2,3,4]]' "${six%]}" > "$tmp/seven"
: > "$tmp/empty"

# Wrong argument count: usage on standard output, status 255, nothing read.
$runner "$prog" > "$tmp/out" 2> "$tmp/err" < "$tmp/six"; got_status=$?
expect "no argument" 255 "$(printf 'Usage: %s fps \n' "$prog" | hex)" 0
$runner "$prog" 30 31 > "$tmp/out" 2> "$tmp/err" < "$tmp/six"; got_status=$?
expect "two arguments" 255 "$(printf 'Usage: %s fps \n' "$prog" | hex)" 0
if [ -z "$emulator" ]; then
    "$exec_empty_argv" "$prog" > "$tmp/out" 2> "$tmp/err" < "$tmp/six"; got_status=$?
    expect "empty argument vector" 255 "$(printf 'Usage: pixstream fps \n' | hex)" 0
else
    echo "skipped: empty argument vector (qemu-user always passes an argv[0])"
fi

# Header byte: atoi's reading, low 8 bits, defined for any length.
for case in "30 1e" "300 2c" "-1 ff" "abc 00" " +7 07" "12abc 0c" "- 00" "'' 00" \
    "2147483648 00" "4294967297 01" "99999999999999999999 ff" "-99999999999999999999 01" \
    "-2147483649 ff" "000000000000000000000000000000000000000042 2a"; do
    set -- $case
    eval "fps=$1"
    run "$tmp/empty" "$fps"
    expect "header for fps [$fps]" 0 "$2" 0
done

run "$tmp/six" 30
expect "six pixels" 0 "1e 14 0a 1e" 0
run "$tmp/seven" 30
expect "seventh pixel dropped" 0 "1e 14 0a 1e" 0

# Bytes from 0x80 up are ignored whether plain char is signed (x86-64) or
# unsigned (arm64): 0xb1, 0xac and 0xdd are '1', ',' and ']' with the top bit
# set, and UTF-8 text ("\303\251" is e-acute) passes over harmlessly.
pixel='[1\2610,2\2540,3\3350,4\3030]'
printf "[\303\251$pixel,$pixel,$pixel,$pixel,$pixel,$pixel]" > "$tmp/high"
run "$tmp/high" 30
expect "bytes from 0x80 up" 0 "1e 14 0a 1e" 0

# One byte per write from a slow producer, so reads see single bytes.
perl -e '$| = 1; for (split //, $ARGV[0]) { print; select(undef, undef, undef, 0.002) }' "$six" |
    $runner "$prog" 30 > "$tmp/out" 2> "$tmp/err"; got_status=$?
expect "one byte per read" 0 "1e 14 0a 1e" 0

# A two-digit value split at every power-of-two offset from 1 KiB to 256 KiB,
# among them ends of 4 KiB blocks and of 64 KiB reads: "1" comes before the
# offset, "2," after it; every value is 12.
awk 'BEGIN {
    pos = 0; n = 0; b = 1024
    while (b <= 262144 || n % 24 != 0) {
        if (b <= 262144 && b - 1 - pos < 4) {
            while (pos < b - 1) { printf " "; pos++ }
            b *= 2
        }
        printf "12,"; pos += 3; n++
    }
    print n / 24 > "/dev/stderr"
}' > "$tmp/split" 2> "$tmp/groups"
groups=$(cat "$tmp/groups")
expected="1e"
i=0
while [ "$i" -lt "$groups" ]; do expected="$expected 0c 0c 0c"; i=$((i + 1)); done
run "$tmp/split" 30
expect "value split across read boundaries" 0 "$expected" 0
cat "$tmp/split" | $runner "$prog" 30 > "$tmp/out" 2> "$tmp/err"; got_status=$?
expect "value split across pipe reads" 0 "$expected" 0

# A read error is a failure: output so far written, one line, status 1.
run / 30
expect "standard input is a directory" 1 "1e" 1
grep -q '^pixstream: read error: Is a directory$' "$tmp/err" || { failed=$((failed + 1)); echo "FAIL: read error text"; }
$runner "$prog" 30 <&- > "$tmp/out" 2> "$tmp/err"; got_status=$?
expect "standard input closed" 1 "1e" 1

# A write error is a failure: one line, status 1.
$runner "$prog" 30 < "$tmp/six" > /dev/full 2> "$tmp/err"; got_status=$?
: > "$tmp/out"
expect "standard output full" 1 "" 1
grep -q '^pixstream: write error: No space left on device$' "$tmp/err" || { failed=$((failed + 1)); echo "FAIL: write error text"; }
$runner "$prog" 30 < "$tmp/six" >&- 2> "$tmp/err"; got_status=$?
expect "standard output closed" 1 "" 1

# Abusive frame rates, read as atoi would but for any length; the sanitizer
# build runs these too. Each line: printf format of the argument, given a
# hundred thousand nines and as many zeros, and the header byte. Each byte
# atoi skips as leading white space comes once before a digit, and so do the
# bytes either side of \t to \r, which it does not skip.
nines=$(printf '%100000s' '' | tr ' ' 9)
zeros=$(printf '%100000s' '' | tr ' ' 0)
while read -r form byte; do
    case $form in
    *%*) fps=$(printf -- "$form" "$nines" "$zeros") ;;
    *) fps=$(printf -- "$form") ;;
    esac
    run "$tmp/empty" "$fps"
    expect "header for fps [$form]" 0 "$byte" 0
done <<'END'
%s%.0s ff
-%s%.0s 01
+%s%.0s ff
1%.0s%s 00
%.0s%s42 2a
+ 00
- 00
+- 00
-+5 00
--1 00
\040 00
\040\t\n\v\f\r\040 00
\040\t-12 f4
\0407 07
\t7 07
\n7 07
\v7 07
\f7 07
\r7 07
\0107 00
\0167 00
x7 00
0x1f 00
1e3 01
.5 00
\200 00
\377\376 00
7\3779 07
\2405 00
\357\274\223 00
END

# Faults in the middle of a long stream, injected by the preloaded fail_io.
# Reads are cut to 1000 bytes, so before the Nth read exactly (N-1)*1000
# bytes were consumed: the output must be that prefix's output, written in
# full, then one line on standard error and status 1. Interrupted or
# would-block calls and short transfers are retried and lose nothing.
awk 'BEGIN { for (i = 0; i < 20000; i++) printf "[%d,%d,%d,%d],", i % 256, i % 7, i * 3 % 300, i % 10 }' > "$tmp/long"
reference() { head -c "$1" "$tmp/long" | "$prog" 30 > "$tmp/expected"; }

# fault NAME STATUS STDERR_TEXT VARIABLE=VALUE...: compares with $tmp/expected.
# Only the program gets the preload; under qemu-user through QEMU_SET_ENV,
# since the host's shell could not load the target's library.
fault() {
    name=$1 status=$2 text=$3
    shift 3
    preload=LD_PRELOAD=$fail_io
    [ -z "$emulator" ] || preload=QEMU_SET_ENV=$preload
    timeout 60 env "$preload" ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}" "$@" \
        $runner "$prog" 30 < "$tmp/long" > "$tmp/out" 2> "$tmp/err"
    got_status=$?
    lines=0
    [ "$status" = 0 ] || lines=1
    expect "$name" "$status" "$(hex < "$tmp/expected")" "$lines"
    [ -z "$text" ] || grep -q "^pixstream: $text\$" "$tmp/err" || { failed=$((failed + 1)); echo "FAIL: $name: stderr text"; }
}

reference 39000
fault "read fails at the 40th read" 1 "read error: Input/output error" PIXSTREAM_READ_MAX=1000 PIXSTREAM_FAIL_READ=40:EIO
reference 38000
fault "write fails at the 40th write" 1 "write error: No space left on device" \
    PIXSTREAM_READ_MAX=1000 PIXSTREAM_FAIL_WRITE=40:ENOSPC
: > "$tmp/expected"
fault "write of the header fails" 1 "write error: Input/output error" PIXSTREAM_FAIL_WRITE=1:EIO
"$prog" 30 < "$tmp/long" | head -c 99 > "$tmp/expected"
fault "write fails after 99 one-byte writes" 1 "write error: Broken pipe" PIXSTREAM_WRITE_MAX=1 PIXSTREAM_FAIL_WRITE=100:EPIPE
reference 1000000
fault "short reads and writes" 0 "" PIXSTREAM_READ_MAX=7 PIXSTREAM_WRITE_MAX=2
fault "interrupted read" 0 "" PIXSTREAM_READ_MAX=1000 PIXSTREAM_FAIL_READ=5:EINTR
fault "read would block" 0 "" PIXSTREAM_READ_MAX=1000 PIXSTREAM_FAIL_READ=5:EAGAIN
fault "interrupted write" 0 "" PIXSTREAM_READ_MAX=1000 PIXSTREAM_FAIL_WRITE=5:EINTR
fault "write would block" 0 "" PIXSTREAM_READ_MAX=1000 PIXSTREAM_FAIL_WRITE=5:EAGAIN

# A reader that goes away early. With SIGPIPE at its default, whatever the
# caller ignores, the signal ends the program (status 141 from the shell);
# with SIGPIPE ignored the write fails: one line and status 1. Either way it
# ends, under a timeout in case it would not.
for signal in default ignore; do
    yes '[1,2,3,4],' | {
        timeout 60 env --$signal-signal=PIPE $runner "$prog" 30 2> "$tmp/err"
        echo $? > "$tmp/status"
    } | head -c 4 > "$tmp/out"
    got_status=$(cat "$tmp/status")
    if [ $signal = default ]; then
        expect "reader goes away, SIGPIPE default" 141 "1e 02 01 03" 0
    else
        expect "reader goes away, SIGPIPE ignored" 1 "1e 02 01 03" 1
        grep -q '^pixstream: write error: Broken pipe$' "$tmp/err" || { failed=$((failed + 1)); echo "FAIL: broken pipe text"; }
    fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/bin/sh
# End-to-end tests of pixstream-show: known streams through --png, read back
# pixel by pixel with png_dump; the terminal preview's exact bytes; pacing on
# a pseudo-terminal; and every bad use and bad input: message on standard
# error, status, and no partial picture left behind.
# Usage: show_cli.sh PIXSTREAM_SHOW PNG_DUMP PTY_RUN FAIL_IO
# PIXSTREAM_RUNNER, if set, is a command that runs the program (valgrind);
# the timing cases are then skipped.
set -u
prog=$1
png_dump=$2
pty_run=$3
fail_io=$4
runner=${PIXSTREAM_RUNNER:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
passed=0
failed=0

hex() { od -An -tx1 -v | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }
pass() { passed=$((passed + 1)); }
fail() {
    failed=$((failed + 1))
    echo "FAIL: $*"
    sed 's/^/  stderr: /' "$tmp/err"
}

# show INPUT ARGS...: runs the program, standard output to $tmp/out.
show() {
    input=$1
    shift
    $runner "$prog" "$@" < "$input" > "$tmp/out" 2> "$tmp/err"
    status=$?
}

# expect NAME STATUS STDERR: the status and the whole standard error of the
# last show (STDERR empty for none).
expect() {
    if [ "$status" != "$2" ]; then
        fail "$1: status $status, expected $2"
    elif [ "$(cat "$tmp/err")" != "$3" ]; then
        fail "$1: standard error is not [$3]"
    else
        pass
    fi
}

# Streams, in the order pixstream writes an LED: green, red, blue.
# rgb: header 30, then LEDs whose JSON colours were red, green and blue.
printf '\036\000\377\000\377\000\000\000\000\377' > "$tmp/rgb"
# five: header 0 and five LEDs, (g, r, b) = (1, 2, 3), (4, 5, 6) ...
printf '\000\001\002\003\004\005\006\007\010\011\012\013\014\015\016\017' > "$tmp/five"
printf '\036' > "$tmp/header"
: > "$tmp/empty"
printf '\036\001' > "$tmp/one-byte"
printf '\036\001\002\003\004\005' > "$tmp/two-bytes"

usage='usage: pixstream-show --leds N [--scale K] [--png FILE]'

# Bad use: status 2, one line naming the fault, then the usage line; nothing
# read, nothing written. Rows: expected message | arguments.
while IFS='|' read -r message args; do
    eval "set -- $args"
    show "$tmp/rgb" "$@"
    expect "bad use [$args]" 2 "pixstream-show: $message
$usage"
    [ ! -s "$tmp/out" ] || fail "bad use [$args] wrote to standard output"
done << 'EOF_CASES'
--leds is required|
--leds is required|--scale 2
--leds needs a positive integer|--leds
--leds needs a positive integer|--leds=
--leds: '0' is not a positive integer|--leds 0
--leds: '000' is not a positive integer|--leds=000
--leds: '-1' is not a positive integer|--leds -1
--leds: '+5' is not a positive integer|--leds +5
--leds: 'abc' is not a positive integer|--leds abc
--leds: '60x' is not a positive integer|--leds 60x
--leds: ' 60' is not a positive integer|--leds ' 60'
--leds: '1.5' is not a positive integer|--leds 1.5
--leds: '1000001' is too large (at most 1000000)|--leds 1000001
--leds: '18446744073709551617' is too large (at most 1000000)|--leds 18446744073709551617
--leds: '99999999999999999999999999999999' is too large (at most 1000000)|--leds 99999999999999999999999999999999
--scale needs a positive integer|--leds 3 --scale
--scale: '0' is not a positive integer|--leds 3 --scale 0
--scale: 'big' is not a positive integer|--leds 3 --scale=big
--leds times --scale is more than 1000000|--leds 1000 --scale 1001
--png needs a file name|--leds 3 --png
--png needs a file name|--leds 3 --png=
unknown option '--led'|--led 3
unknown option '--ledsx=3'|--ledsx=3
unknown option '-l'|-l 3
unexpected argument '3'|3
unexpected argument '-'|--leds 3 -
EOF_CASES

show "$tmp/rgb" --help
expect "--help" 0 ""
[ "$(cat "$tmp/out")" = "$usage" ] || fail "--help writes [$(cat "$tmp/out")]"

# The terminal preview, byte for byte. Each LED: ESC [48;2;R;G;Bm and scale
# spaces; each line ends ESC [0m and a newline; a frame is scale lines.
cell() { printf '\033[48;2;%s;%s;%sm%s' "$1" "$2" "$3" "$4"; }
end=$(printf '\033[0m')
# check NAME EXPECTED_TEXT: standard output of the last show, in hex.
check() {
    if [ "$(hex < "$tmp/out")" = "$(printf '%s\n' "$2" | hex)" ]; then
        pass
    else
        fail "$1: output is [$(hex < "$tmp/out")]"
    fi
}
show "$tmp/rgb" --leds 3
expect "preview: red, green, blue" 0 ""
check "preview: red, green, blue" "$(cell 255 0 0 ' ')$(cell 0 255 0 ' ')$(cell 0 0 255 ' ')$end"
show "$tmp/five" --leds 2 --scale 2
expect "preview: scale 2, short last frame" 0 ""
row1="$(cell 2 1 3 '  ')$(cell 5 4 6 '  ')$end"
row2="$(cell 8 7 9 '  ')$(cell 11 10 12 '  ')$end"
row3="$(cell 14 13 15 '  ')$end"
check "preview: scale 2, short last frame" "$row1
$row1
$row2
$row2
$row3
$row3"
show "$tmp/five" --leds 5 --scale=3
check "preview: scale 3, one frame" "$(cell 2 1 3 '   ')$(cell 5 4 6 '   ')$(cell 8 7 9 '   ')$(cell 11 10 12 '   ')$(cell 14 13 15 '   ')$end
$(cell 2 1 3 '   ')$(cell 5 4 6 '   ')$(cell 8 7 9 '   ')$(cell 11 10 12 '   ')$(cell 14 13 15 '   ')$end
$(cell 2 1 3 '   ')$(cell 5 4 6 '   ')$(cell 8 7 9 '   ')$(cell 11 10 12 '   ')$(cell 14 13 15 '   ')$end"
show "$tmp/header" --leds 4
expect "preview: header only" 0 ""
[ ! -s "$tmp/out" ] || fail "preview: header only wrote output"
show "$tmp/two-bytes" --leds 1
expect "preview: ends inside an LED" 1 "pixstream-show: the stream ends inside an LED: 2 bytes dropped"
check "preview: ends inside an LED" "$(cell 2 1 3 ' ')$end"

# Bad input and failed I/O in the preview: one line, status 1.
show "$tmp/empty" --leds 3
expect "preview: empty stream" 1 "pixstream-show: empty stream: no header byte"
show "$tmp/one-byte" --leds 3
expect "preview: one byte after the header" 1 "pixstream-show: the stream ends inside an LED: 1 byte dropped"
show / --leds 3
expect "preview: standard input is a directory" 1 "pixstream-show: read error: Is a directory"
$runner "$prog" --leds 3 < "$tmp/rgb" > /dev/full 2> "$tmp/err"; status=$?
expect "preview: standard output full" 1 "pixstream-show: write error: No space left on device"
$runner "$prog" --leds 3 <&- > "$tmp/out" 2> "$tmp/err"; status=$?
expect "preview: standard input closed" 1 "pixstream-show: read error: Bad file descriptor"

# A reader that goes away: SIGPIPE at its default ends the program (141 from
# the shell); ignored, the write fails: one line, status 1.
for signal in default ignore; do
    yes '' | tr '\n' 'x' | {
        timeout 60 env --$signal-signal=PIPE $runner "$prog" --leds 60 2> "$tmp/err"
        echo $? > "$tmp/status"
    } | head -c 10 > "$tmp/out"
    status=$(cat "$tmp/status")
    if [ $signal = default ]; then
        expect "reader goes away, SIGPIPE default" 141 ""
    else
        expect "reader goes away, SIGPIPE ignored" 1 "pixstream-show: write error: Broken pipe"
    fi
done

# The picture: png_dump prints "WIDTH HEIGHT COLOUR_TYPE DEPTH" (2 is RGB),
# then each row's pixels red first. Rows: name | arguments | expected rows,
# separated by '/'.
while IFS='|' read -r name args rows; do
    eval "set -- $args"
    rm -f "$tmp/p.png"
    show "$tmp/$name" --png "$tmp/p.png" "$@"
    expect "png: $name $args" 0 ""
    "$png_dump" < "$tmp/p.png" > "$tmp/dump" 2>> "$tmp/err" || fail "png: $name $args: png_dump failed"
    [ "$(cat "$tmp/dump")" = "$(echo "$rows" | tr '/' '\n')" ] || fail "png: $name $args: the picture is
$(cat "$tmp/dump")"
done << 'EOF_CASES'
rgb|--leds 3|3 1 2 8/ff0000 00ff00 0000ff
rgb|--leds 1|1 3 2 8/ff0000/00ff00/0000ff
rgb|--leds 2|2 2 2 8/ff0000 00ff00/0000ff 000000
rgb|--leds 4|4 1 2 8/ff0000 00ff00 0000ff 000000
rgb|--leds 2 --scale 2|4 4 2 8/ff0000 ff0000 00ff00 00ff00/ff0000 ff0000 00ff00 00ff00/0000ff 0000ff 000000 000000/0000ff 0000ff 000000 000000
five|--leds 2|2 3 2 8/020103 050406/080709 0b0a0c/0e0d0f 000000
five|--scale 3 --leds=5|15 3 2 8/020103 020103 020103 050406 050406 050406 080709 080709 080709 0b0a0c 0b0a0c 0b0a0c 0e0d0f 0e0d0f 0e0d0f/020103 020103 020103 050406 050406 050406 080709 080709 080709 0b0a0c 0b0a0c 0b0a0c 0e0d0f 0e0d0f 0e0d0f/020103 020103 020103 050406 050406 050406 080709 080709 080709 0b0a0c 0b0a0c 0b0a0c 0e0d0f 0e0d0f 0e0d0f
EOF_CASES

# The same picture whether the stream comes from a file (read twice where it
# is), a pipe (copied to a temporary file first) or goes to standard output.
awk 'BEGIN { printf "%c", 30; for (i = 0; i < 3 * 60 * 50 + 2 * 3; i++) printf "%c", (i * 7) % 256 }' > "$tmp/long"
show "$tmp/long" --leds 60 --scale 2 --png "$tmp/file.png"
expect "png: from a file" 0 ""
cat "$tmp/long" | $runner "$prog" --leds 60 --scale 2 --png "$tmp/pipe.png" 2> "$tmp/err"; status=$?
expect "png: from a pipe" 0 ""
cmp -s "$tmp/file.png" "$tmp/pipe.png" || fail "png: a pipe gives another picture than a file"
show "$tmp/long" --leds 60 --scale 2 --png -
expect "png: to standard output" 0 ""
cmp -s "$tmp/file.png" "$tmp/out" || fail "png: standard output gets another picture than a file"
"$png_dump" < "$tmp/file.png" | head -n 1 > "$tmp/dump"
[ "$(cat "$tmp/dump")" = "120 102 2 8" ] || fail "png: 51 frames at scale 2 are [$(cat "$tmp/dump")]"
# Standard input left part way into a file by another program: the stream
# starts where that one stopped, at the byte read as the header.
(head -c 180 > /dev/null; $runner "$prog" --leds 60 --png "$tmp/rest.png") < "$tmp/long" 2> "$tmp/err"; status=$?
expect "png: from the middle of a file" 0 ""
"$png_dump" < "$tmp/rest.png" | head -n 1 > "$tmp/dump"
[ "$(cat "$tmp/dump")" = "60 50 2 8" ] || fail "png: after one frame read, the picture is [$(cat "$tmp/dump")]"

# Bad input and failed writes: one line, status 1, and no picture left
# behind; bytes left inside an LED keep the picture of the whole ones.
# Rows: input | expected standard error | whether a picture stays.
while IFS='|' read -r input message stays; do
    rm -f "$tmp/p.png"
    show "$tmp/$input" --leds 1 --png "$tmp/p.png"
    expect "png: $input" 1 "$message"
    if [ "$stays" = yes ]; then
        [ "$("$png_dump" < "$tmp/p.png" 2>&1)" = "1 1 2 8
020103" ] || fail "png: $input: the picture of the whole LEDs is not kept"
    else
        [ ! -e "$tmp/p.png" ] || fail "png: $input: a file is left behind"
    fi
done << 'EOF_CASES'
empty|pixstream-show: empty stream: no header byte|no
header|pixstream-show: no whole LED in the stream, so no picture|no
two-bytes|pixstream-show: the stream ends inside an LED: 2 bytes dropped|yes
EOF_CASES
show "$tmp/one-byte" --leds 1 --png "$tmp/p.png"
expect "png: one byte after the header" 1 "pixstream-show: the stream ends inside an LED: 1 byte dropped
pixstream-show: no whole LED in the stream, so no picture"
[ ! -e "$tmp/p.png" ] || fail "png: one byte after the header: a file is left behind"

show "$tmp/rgb" --leds 3 --png "$tmp/no/such/dir.png"
expect "png: cannot be created" 1 "pixstream-show: cannot write $tmp/no/such/dir.png: No such file or directory"
show / --leds 3 --png "$tmp/p.png"
expect "png: standard input is a directory" 1 "pixstream-show: read error: Is a directory"
[ ! -e "$tmp/p.png" ] || fail "png: standard input is a directory: a file is left behind"
# (valgrind itself needs TMPDIR to start.)
if [ -z "$runner" ]; then
    cat "$tmp/rgb" | TMPDIR=$tmp/no/such "$prog" --leds 3 --png "$tmp/p.png" 2> "$tmp/err"; status=$?
    expect "png: no room for the temporary copy" 1 \
        "pixstream-show: cannot make a temporary file: No such file or directory"
    [ ! -e "$tmp/p.png" ] || fail "png: no temporary copy: a file is left behind"
fi
show "$tmp/rgb" --leds 3 --png /dev/full
expect "png: to a full device" 1 "pixstream-show: PNG write error: No space left on device"
[ -c /dev/full ] || fail "png: /dev/full was removed"
# A file size limit (SIGXFSZ ignored, so the write fails with EFBIG) stops
# the picture part way: the partial file is removed. The stream is noise, so
# compression cannot keep it under the limit.
awk 'BEGIN { srand(7); printf "%c", 30; for (i = 0; i < 3 * 100 * 200; i++) printf "%c", int(rand() * 256) }' > "$tmp/noise"
(ulimit -f 16 && trap '' XFSZ && exec $runner "$prog" --leds 100 --png "$tmp/p.png") < "$tmp/noise" > "$tmp/out" 2> "$tmp/err"
status=$?
expect "png: write fails part way" 1 "pixstream-show: PNG write error: File too large"
[ ! -e "$tmp/p.png" ] || fail "png: write fails part way: the partial file is left behind"
# A read that fails while the picture is drawn, in the second reading of a
# regular file: fail_io cuts reads to 1000 bytes, so the first reading of
# the 60001 bytes takes 62 reads (the last one finds the end), the 63rd
# rereads the header and the 65th is the second frame's. The partial file
# is removed.
timeout 60 env LD_PRELOAD="$fail_io" ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
    PIXSTREAM_READ_MAX=1000 PIXSTREAM_FAIL_READ=65:EIO \
    $runner "$prog" --leds 100 --png "$tmp/p.png" < "$tmp/noise" > "$tmp/out" 2> "$tmp/err"
status=$?
expect "png: read fails while drawing" 1 "pixstream-show: read error: Input/output error"
[ ! -e "$tmp/p.png" ] || fail "png: read fails while drawing: the partial file is left behind"
# The same noise in full, to check the limit was what stopped it.
show "$tmp/noise" --leds 100 --png "$tmp/p.png"
expect "png: noise without a limit" 0 ""
[ "$(wc -c < "$tmp/p.png")" -gt 16384 ] || fail "png: the noise picture fits under the limit"
# The temporary copy fails the same way, before any picture is begun.
(ulimit -f 16 && trap '' XFSZ && cat "$tmp/noise" | exec $runner "$prog" --leds 100 --png "$tmp/p.png") > "$tmp/out" 2> "$tmp/err"
status=$?
expect "png: temporary copy fails part way" 1 "pixstream-show: temporary file: write error: File too large"
[ ! -e "$tmp/p.png" ] || fail "png: temporary copy fails: a file is left behind"

# The input named as the picture: refused before it is truncated.
cp "$tmp/rgb" "$tmp/same"
show "$tmp/same" --leds 3 --png "$tmp/same"
expect "png: the input named as the picture" 1 "pixstream-show: $tmp/same is the standard input; it is left as it was"
cmp -s "$tmp/rgb" "$tmp/same" || fail "png: the input named as the picture was changed"

# Ended by a signal while the stream is still coming: the unfinished picture
# is removed and the program ends by the same signal: status 128 + its number.
for case in TERM:143 INT:130 HUP:129; do
    signal=${case%:*}
    rm -f "$tmp/fifo" "$tmp/p.png"
    mkfifo "$tmp/fifo"
    # A shell starts a background job with SIGINT ignored; env puts it back.
    env --default-signal=INT $runner "$prog" --leds 1 --png "$tmp/p.png" < "$tmp/fifo" 2> "$tmp/err" &
    pid=$!
    exec 3> "$tmp/fifo"
    printf '\036\000\377\000' >&3
    tries=0
    while [ ! -e "$tmp/p.png" ] && [ "$tries" -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
    sleep 0.2
    kill -s "$signal" "$pid"
    wait "$pid"
    status=$?
    exec 3>&-
    expect "png: SIG$signal part way" "${case#*:}" ""
    [ ! -e "$tmp/p.png" ] || fail "png: SIG$signal part way: the unfinished picture is left behind"
done

# Constant memory: 18 MB of stream, through the temporary copy, take no more
# peak memory than 180 bytes do, give or take 4 MiB; as do 18 MB previewed.
if [ -x /usr/bin/time ] && [ -z "$runner" ]; then
    # peak MODE BYTES: the peak resident set in KiB of one run.
    peak() {
        head -c "$2" /dev/zero | /usr/bin/time -f %M -o "$tmp/peak" "$prog" --leds 60 $1 > /dev/null 2> "$tmp/err"
        tail -n 1 "$tmp/peak"
    }
    for mode in "--png $tmp/p.png" ""; do
        small=$(peak "$mode" 181)
        large=$(peak "$mode" 18000001)
        [ "$((large - small))" -lt 4096 ] && pass ||
            fail "memory [$mode]: $small KiB for one frame, $large KiB for 100000"
    done
    "$png_dump" < "$tmp/p.png" | head -n 1 > "$tmp/dump"
    [ "$(cat "$tmp/dump")" = "60 100000 2 8" ] || fail "memory: the long picture is [$(cat "$tmp/dump")]"
else
    echo "skipped: peak memory (no /usr/bin/time, or under $runner)"
fi

# Live: a frame is written as soon as it is complete, while the producer is
# still running, not when the stream ends. Pacing: a file read onto a
# terminal plays at its header's rate, 10 frames a second here, so six
# frames take at least half a second; into a pipe they take no time.
if [ -z "$runner" ]; then
    start=$(date +%s%N)
    { printf '\036\000\377\000'; sleep 3; printf '\000\377\000'; } | "$prog" --leds 1 2> "$tmp/err" |
        { head -n 1 > "$tmp/out"; date +%s%N > "$tmp/arrived"; cat > /dev/null; }
    took=$((($(cat "$tmp/arrived") - start) / 1000000))
    [ "$took" -lt 2000 ] && pass || fail "live: the first frame took $took ms to arrive"
    check "live: the first frame" "$(cell 255 0 0 ' ')$end"

    printf '\012\000\377\000\000\377\000\000\377\000\000\377\000\000\377\000\000\377\000' > "$tmp/ten"
    "$pty_run" "start=\$(date +%s%N); '$prog' --leds 1 < '$tmp/ten' > \"\$TTY\"; echo \$? \$(((\$(date +%s%N) - start) / 1000000)) > '$tmp/paced'" > "$tmp/out" 2> "$tmp/err"
    read -r status took < "$tmp/paced"
    [ "$status" = 0 ] && [ "$took" -ge 480 ] && [ "$took" -lt 5000 ] && pass ||
        fail "paced: six frames at 10 a second onto a terminal: status $status, $took ms"
    [ "$(grep -c '\[0m' "$tmp/out")" = 6 ] || fail "paced: the terminal did not get six lines"
    start=$(date +%s%N)
    "$prog" --leds 1 < "$tmp/ten" > "$tmp/out" 2> "$tmp/err"
    took=$((($(date +%s%N) - start) / 1000000))
    [ "$took" -lt 450 ] && pass || fail "not paced: six frames into a file took $took ms"
else
    echo "skipped: live and pacing times (under $runner)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/bin/sh
# Installs the build tree into a scratch prefix and, as packagers do, under
# DESTDIR; checks that exactly the expected files land and that the
# installed program converts the sample.
# Usage: install.sh CMAKE BUILD_DIR SOURCE_DIR [SHOW]
# SHOW is ON when the build has pixstream-show, which then installs too.
# A cross build sets PIXSTREAM_EMULATOR to a qemu-user command line.
set -u
cmake=$1
build=$2
src=$3
show=${4:-OFF}
emulator=${PIXSTREAM_EMULATOR:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

hex() { od -An -tx1 -v | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }
expected_files="bin/pixstream
share/doc/pixstream/LICENSE
share/doc/pixstream/README.md
share/man/man1/pixstream.1"
if [ "$show" = ON ]; then
    expected_files=$(printf '%s\n' "$expected_files" bin/pixstream-show share/man/man1/pixstream-show.1 | sort)
fi

# check NAME PREFIX_DIR: the installed tree under PREFIX_DIR.
check() {
    files=$(cd "$2" && find . -type f | sed 's|^\./||' | sort)
    [ "$files" = "$expected_files" ] || fail "$1: installed files are
$files"
    [ -x "$2/bin/pixstream" ] || fail "$1: bin/pixstream is not executable"
    cmp -s "$2/share/man/man1/pixstream.1" "$src/man/pixstream.1" || fail "$1: man page differs"
    got=$($emulator "$2/bin/pixstream" 30 < "$src/sample/frame.json" | hex)
    [ "$got" = "1e 19 f2 0c 32 19 d9" ] || fail "$1: sample gives [$got]"
    [ "$show" = ON ] || return 0
    cmp -s "$2/share/man/man1/pixstream-show.1" "$src/man/pixstream-show.1" || fail "$1: preview's man page differs"
    # The sample's two LEDs, JSON colours (242, 25, 12) and (25, 50, 217).
    got=$($emulator "$2/bin/pixstream" 30 < "$src/sample/frame.json" | $emulator "$2/bin/pixstream-show" --leds 2 | hex)
    [ "$got" = "$(printf '\033[48;2;242;25;12m \033[48;2;25;50;217m \033[0m\n' | hex)" ] ||
        fail "$1: the preview of the sample is [$got]"
}

"$cmake" --install "$build" --prefix "$tmp/prefix" > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "install --prefix"; }
check "--prefix" "$tmp/prefix"

DESTDIR=$tmp/root "$cmake" --install "$build" --prefix /usr/local > "$tmp/log" 2>&1 ||
    { cat "$tmp/log"; fail "install with DESTDIR"; }
[ "$(find "$tmp/root" -mindepth 1 -maxdepth 1)" = "$tmp/root/usr" ] || fail "DESTDIR: files outside usr/"
check "DESTDIR" "$tmp/root/usr/local"

[ "$failed" -eq 0 ] && echo "installed trees are complete and work"
exit "$failed"

#!/bin/sh
# Builds the Debian package, checks its control fields, contents, modes and
# documentation files, runs lintian on it, unpacks it into a scratch root and
# checks that the packaged program writes the same bytes as the build tree's.
# Usage: deb.sh CMAKE CPACK BUILD_DIR SOURCE_DIR VERSION READELF PIXSTREAM
# A cross build sets PIXSTREAM_EMULATOR to a qemu-user command line and
# PIXSTREAM_DEB_ARCH to the target's Debian architecture.
# Without lintian every other check still runs, and a pass becomes a skip.
set -u
cmake=$1
cpack=$2
build=$3
src=$4
version=$5
readelf=$6
prog=$7
emulator=${PIXSTREAM_EMULATOR:-}
for tool in dpkg-deb dpkg-shlibdeps dpkg-parsechangelog; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed (dpkg-dev)"; exit 77; }
done
arch=${PIXSTREAM_DEB_ARCH:-$(dpkg --print-architecture)}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
. "$(dirname "$0")/deb_common.sh"

hex() { od -An -tx1 -v | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }

# A umask that would leave staged directories unreadable to others: the
# package must still hold them as 0755.
if ! (umask 077 && "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pkg") > "$tmp/log" 2>&1; then
    cat "$tmp/log"
    echo "FAIL: cpack"
    exit 1
fi
! grep -i -e warning -e error "$tmp/log" || fail "cpack reported the lines above"
deb=$tmp/pkg/pixstream_${version}_$arch.deb
[ -f "$deb" ] || { ls "$tmp/pkg"; echo "FAIL: no $deb"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pixstream ] || fail "Package is [$(field Package)]"
[ "$(field Version)" = "$version" ] || fail "Version is [$(field Version)]"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
[ "$(field Section)" = utils ] || fail "Section is [$(field Section)]"
[ "$(field Priority)" = optional ] || fail "Priority is [$(field Priority)]"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is [$(field Architecture)]"
field Depends | grep -q -e '^libc6 (>= ' -e ', libc6 (>= ' || fail "Depends is [$(field Depends)]"
# A native package's Depends comes from dpkg-shlibdeps, a cross package's
# from the program's symbol versions; on a native build the two must agree.
# A sanitizer build's program needs libraries no package is meant to carry,
# which DebianDepends.cmake has no rule for: it says so, and that is shown.
if [ -z "$emulator" ]; then
    if from_symbols=$("$cmake" -DREADELF="$readelf" -DPROGRAM="$prog" -P "$src/cmake/DebianDepends.cmake" 2>&1); then
        [ "$from_symbols" = "$(field Depends)" ] ||
            fail "dpkg-shlibdeps gives [$(field Depends)], the symbol versions give [$from_symbols]"
    elif echo "$from_symbols" | grep -q 'names no Debian package'; then
        echo "note: Depends not compared: $(echo "$from_symbols" | grep -o '[^ ]* needs [^;]*')"
    else
        fail "DebianDepends.cmake: $from_symbols"
    fi
fi

# Every member with its mode and owner: directories 0755, the program 0755,
# the rest 0644, all root's.
members=$(dpkg-deb -c "$deb" | awk '{ print $1, $2, $NF }')
[ "$members" = "drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/pixstream
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/pixstream/
-rw-r--r-- root/root ./usr/share/doc/pixstream/README.md.gz
-rw-r--r-- root/root ./usr/share/doc/pixstream/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/pixstream/copyright
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/pixstream.1.gz" ] || fail "package holds
$members"

dpkg-deb -x "$deb" "$tmp/x"
doc=$tmp/x/usr/share/doc/pixstream
# Stripped: no symbol table left, only the dynamic one.
! "$readelf" -S --wide "$tmp/x/usr/bin/pixstream" | grep -q '\.symtab' || fail "the packaged program is not stripped"

# Compressed files: gzip -9n output, so no name and no time stamp in the
# header (flags byte 0, MTIME 0), and the text is the source's.
# Rows: packaged file, source file.
while read -r packaged source; do
    [ -f "$tmp/x/$packaged" ] || continue
    header=$(od -An -tx1 -N10 "$tmp/x/$packaged" | tr -s ' \n' '  ' | sed 's/^ //; s/ $//')
    [ "$header" = "1f 8b 08 00 00 00 00 00 02 03" ] || fail "$packaged: gzip header is [$header]"
    gzip -dc "$tmp/x/$packaged" | cmp -s - "$src/$source" || fail "$packaged differs from $source"
done << EOF
usr/share/man/man1/pixstream.1.gz man/pixstream.1
usr/share/doc/pixstream/README.md.gz README.md
usr/share/doc/pixstream/changelog.gz packaging/changelog
EOF

# The changelog's latest entry is this version, signed by the maintainer.
gzip -dc "$doc/changelog.gz" > "$tmp/changelog"
entry() { dpkg-parsechangelog -l "$tmp/changelog" -S "$1"; }
[ "$(entry Source)" = pixstream ] || fail "changelog: Source is [$(entry Source)]"
[ "$(entry Version)" = "$version" ] || fail "changelog: latest entry is [$(entry Version)], not $version"
[ "$(entry Maintainer)" = "$(field Maintainer)" ] || fail "changelog: signed by [$(entry Maintainer)]"

# The copyright file is DEP-5 and carries LICENSE: the holder from its
# copyright line and, continuation lines undone, its text word for word.
head -n 2 "$doc/copyright" > "$tmp/head"
printf '%s\n' "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
    "Upstream-Name: pixstream" | cmp -s - "$tmp/head" || fail "copyright header is
$(cat "$tmp/head")"
holder=$(sed -n 's/^Copyright (c) //p' "$src/LICENSE")
grep -qx "Copyright: $holder" "$doc/copyright" || fail "copyright does not name [$holder]"
grep -qx "License: Expat" "$doc/copyright" || fail "copyright has no License: Expat"
sed -n '/^License: /,$ { /^License: /d; s/^ //; s/^\.$//; p; }' "$doc/copyright" > "$tmp/text"
sed '1,/^Copyright (c) /d' "$src/LICENSE" | sed '/./,$!d' | cmp -s - "$tmp/text" ||
    fail "copyright's licence text differs from LICENSE"

lintianCheck "$deb"

# Installs with dpkg into a scratch root whose package database holds only
# stand-ins for libraries, at this machine's versions, without forcing
# dependencies. A cross package gets those a minimal Debian 12 system of its
# architecture has (this machine runs the same release), so its Depends must
# name the board's real packages at versions it has. A native package gets
# whatever its Depends names that this machine has installed (a sanitizer
# build's runtimes too). The program then runs with the host's libraries, or
# under the emulator with the target's.
if [ -n "$emulator" ]; then
    libraries="libc6 libgcc-s1"
else
    libraries=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/[ :].*//')
fi
standInRoot "$tmp/root" "$arch" $libraries
dpkgr -i "$deb" > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "dpkg -i"; }
[ "$(dpkg-query --root="$root" -W -f '${Status}' pixstream)" = "install ok installed" ] || fail "not installed"
packaged=$root/usr/bin/pixstream
got=$($emulator "$packaged" 30 < "$src/sample/frame.json" | hex)
[ "$got" = "1e 19 f2 0c 32 19 d9" ] || fail "sample gives [$got]"

# A longer input with every value from 0 to 999, odd spacing and a partial
# last group: the packaged and built programs must agree byte for byte.
awk 'BEGIN { for (i = 0; i < 20000; i++) printf "%s%d%s", (i % 7 ? "" : " [\n"), (i * 37) % 1000, (i % 5 ? "," : "],") }' > "$tmp/long"
$emulator "$prog" 7 < "$tmp/long" > "$tmp/built" || fail "built program failed"
$emulator "$packaged" 7 < "$tmp/long" > "$tmp/packaged" || fail "packaged program failed"
cmp "$tmp/built" "$tmp/packaged" || fail "packaged and built programs differ"
[ "$(wc -c < "$tmp/built")" -gt 1000 ] || fail "long input gave only $(wc -c < "$tmp/built") bytes"

dpkgr -r pixstream > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "dpkg -r"; }
[ -z "$(find "$root/usr" -type f 2>/dev/null)" ] || fail "files left after removal"

[ "$failed" -eq 0 ] || exit 1
echo "package $(basename "$deb"): Depends: $(field Depends)"
[ -n "$lintian" ] || { echo "skipped: lintian is not installed; every other check passed"; exit 77; }
echo "lintian: no errors or warnings"

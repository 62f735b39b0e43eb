#!/bin/sh
# Builds the Debian package, checks its control fields and contents, unpacks
# it into a scratch root and checks that the packaged program writes the
# same bytes as the build tree's.
# Usage: deb.sh CPACK BUILD_DIR SOURCE_DIR VERSION PIXSTREAM
set -u
cpack=$1
build=$2
src=$3
version=$4
prog=$5
for tool in dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed (dpkg-dev)"; exit 77; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

hex() { od -An -tx1 -v | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pkg" > "$tmp/log" 2>&1; then
    cat "$tmp/log"
    echo "FAIL: cpack"
    exit 1
fi
! grep -i -e warning -e error "$tmp/log" || fail "cpack reported the lines above"
deb=$tmp/pkg/pixstream_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$tmp/pkg"; echo "FAIL: no $deb"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pixstream ] || fail "Package is [$(field Package)]"
[ "$(field Version)" = "$version" ] || fail "Version is [$(field Version)]"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
# Computed by dpkg-shlibdeps, so it names the C library with a version.
field Depends | grep -q 'libc6 (>= ' || fail "Depends is [$(field Depends)]"

files=$(dpkg-deb -c "$deb" | awk '$1 ~ /^-/ { print $NF }' | sort)
[ "$files" = "./usr/bin/pixstream
./usr/share/doc/pixstream/LICENSE
./usr/share/doc/pixstream/README.md
./usr/share/man/man1/pixstream.1" ] || fail "package holds
$files"

# Installs with dpkg into a scratch root that has an empty package database;
# the libraries it depends on are the host's, so dependencies are not checked.
root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: > "$root/var/lib/dpkg/status"
dpkgr() { dpkg --root="$root" --force-not-root --log=/dev/null "$@"; }
dpkgr --force-depends -i "$deb" > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "dpkg -i"; }
[ "$(dpkg-query --root="$root" -W -f '${Status}' pixstream)" = "install ok installed" ] || fail "not installed"
packaged=$root/usr/bin/pixstream
got=$("$packaged" 30 < "$src/sample/frame.json" | hex)
[ "$got" = "1e 19 f2 0c 32 19 d9" ] || fail "sample gives [$got]"

# A longer input with every value from 0 to 999, odd spacing and a partial
# last group: the packaged and built programs must agree byte for byte.
awk 'BEGIN { for (i = 0; i < 20000; i++) printf "%s%d%s", (i % 7 ? "" : " [\n"), (i * 37) % 1000, (i % 5 ? "," : "],") }' > "$tmp/long"
"$prog" 7 < "$tmp/long" > "$tmp/built" || fail "built program failed"
"$packaged" 7 < "$tmp/long" > "$tmp/packaged" || fail "packaged program failed"
cmp "$tmp/built" "$tmp/packaged" || fail "packaged and built programs differ"
[ "$(wc -c < "$tmp/built")" -gt 1000 ] || fail "long input gave only $(wc -c < "$tmp/built") bytes"

dpkgr -r pixstream > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "dpkg -r"; }
[ -z "$(find "$root/usr" -type f 2>/dev/null)" ] || fail "files left after removal"

[ "$failed" -eq 0 ] && echo "package $(basename "$deb"): Depends: $(field Depends)"
exit "$failed"

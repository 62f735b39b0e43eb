#!/bin/sh
# Builds the Debian package of pixstream-show (CPackShowConfig.cmake), checks
# its control fields, contents, modes and documentation files, runs lintian
# on it, installs it into a scratch root and checks that the packaged
# program previews the sample as the manual says. The filter's own package
# is deb.sh's.
# Usage: deb_show.sh CPACK BUILD_DIR SOURCE_DIR VERSION READELF
# Without lintian every other check still runs, and a pass becomes a skip.
set -u
cpack=$1
build=$2
src=$3
version=$4
readelf=$5
for tool in dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed (dpkg-dev)"; exit 77; }
done
arch=$(dpkg --print-architecture)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
. "$(dirname "$0")/deb_common.sh"
hex() { od -An -tx1 -v | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }

# As in deb.sh, a umask that would leave staged directories closed to others.
if ! (umask 077 && "$cpack" -G DEB --config "$build/CPackShowConfig.cmake" -B "$tmp/pkg") > "$tmp/log" 2>&1; then
    cat "$tmp/log"
    echo "FAIL: cpack"
    exit 1
fi
! grep -i -e warning -e error "$tmp/log" || fail "cpack reported the lines above"
deb=$tmp/pkg/pixstream-show_${version}_$arch.deb
[ -f "$deb" ] || { ls "$tmp/pkg"; echo "FAIL: no $deb"; exit 1; }
[ "$(ls "$tmp/pkg"/*.deb)" = "$deb" ] || fail "more than one package: $(ls "$tmp/pkg"/*.deb)"

field() { dpkg-deb -f "$deb" "$1"; }
# Rows: field, expected value.
while read -r name value; do
    [ "$(field "$name")" = "$value" ] || fail "$name is [$(field "$name")], not [$value]"
done << EOF_FIELDS
Package pixstream-show
Version $version
Section graphics
Priority optional
Architecture $arch
EOF_FIELDS
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
field Description | grep -q 'pixstream-show reads' || fail "Description is [$(field Description)]"
# libpng is the preview's alone; dpkg-shlibdeps names it and libc.
for library in libc6 libpng16-16; do
    field Depends | tr ',' '\n' | grep -q "^ *$library (>= " || fail "Depends lacks $library: [$(field Depends)]"
done

members=$(dpkg-deb -c "$deb" | awk '{ print $1, $2, $NF }')
[ "$members" = "drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/pixstream-show
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/pixstream-show/
-rw-r--r-- root/root ./usr/share/doc/pixstream-show/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/pixstream-show/copyright
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/pixstream-show.1.gz" ] || fail "package holds
$members"

dpkg-deb -x "$deb" "$tmp/x"
! "$readelf" -S --wide "$tmp/x/usr/bin/pixstream-show" | grep -q '\.symtab' || fail "the packaged program is not stripped"
# gzip -9n: no name, no time stamp; the text is the source's.
while read -r packaged source; do
    header=$(od -An -tx1 -N10 "$tmp/x/$packaged" | tr -s ' \n' '  ' | sed 's/^ //; s/ $//')
    [ "$header" = "1f 8b 08 00 00 00 00 00 02 03" ] || fail "$packaged: gzip header is [$header]"
    gzip -dc "$tmp/x/$packaged" | cmp -s - "$src/$source" || fail "$packaged differs from $source"
done << EOF_FILES
usr/share/man/man1/pixstream-show.1.gz man/pixstream-show.1
usr/share/doc/pixstream-show/changelog.gz packaging/changelog
EOF_FILES
cmp -s "$tmp/x/usr/share/doc/pixstream-show/copyright" "$build/deb/copyright" ||
    fail "copyright differs from the filter package's"

lintianCheck "$deb"

# Installs into a scratch root whose package database holds stand-ins for
# the libraries Depends names, at this machine's versions, without forcing
# dependencies; then previews the sample's two LEDs.
standInRoot "$tmp/root" "$arch" $(field Depends | tr ',' '\n' | sed 's/^ *//; s/[ :].*//')
dpkgr -i "$deb" > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "dpkg -i"; }
got=$(printf '\036\031\362\014\062\031\331' | "$root/usr/bin/pixstream-show" --leds 2 | hex)
[ "$got" = "$(printf '\033[48;2;242;25;12m \033[48;2;25;50;217m \033[0m\n' | hex)" ] ||
    fail "the packaged program previews the sample as [$got]"
dpkgr -r pixstream-show > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "dpkg -r"; }
[ -z "$(find "$root/usr" -type f 2>/dev/null)" ] || fail "files left after removal"

[ "$failed" -eq 0 ] || exit 1
echo "package $(basename "$deb"): Depends: $(field Depends)"
[ -n "$lintian" ] || { echo "skipped: lintian is not installed; every other check passed"; exit 77; }
echo "lintian: no errors or warnings"

#!/bin/sh
# Builds the program and the Debian package a second time, from a copy of
# the sources in another directory into another build directory, and checks
# that both packages are the same bytes: once with one SOURCE_DATE_EPOCH, once
# without it, when the latest changelog entry dates them.
# Usage: deb_reproducible.sh CMAKE CPACK BUILD_DIR SOURCE_DIR VERSION [CMAKE_ARGS...]
# CMAKE_ARGS configure the second build as the first one was.
set -u
cmake=$1
cpack=$2
build=$3
src=$4
version=$5
shift 5
for tool in dpkg-deb dpkg-shlibdeps dpkg-parsechangelog; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed (dpkg-dev)"; exit 77; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# The sources without version control and build trees.
mkdir "$tmp/src"
for entry in "$src"/* "$src"/.[!.]*; do
    [ -e "$entry" ] || continue
    case ${entry##*/} in .git | build) continue ;; esac
    [ "$entry" -ef "$build" ] || cp -R "$entry" "$tmp/src/"
done
if ! "$cmake" -S "$tmp/src" -B "$tmp/build" "$@" \
    -DPIXSTREAM_TESTS=OFF -DPIXSTREAM_FUZZ=OFF -DPIXSTREAM_BENCH=OFF > "$tmp/log" 2>&1 ||
    ! "$cmake" --build "$tmp/build" -j2 > "$tmp/log" 2>&1; then
    cat "$tmp/log"
    echo "FAIL: second build"
    exit 1
fi

# pack BUILD OUT [EPOCH]: the package $name of BUILD in OUT, from its CPack
# configuration $config, dated EPOCH if given. The umask is
# dpkg-buildpackage's: CPack records it in the ar member modes.
pack() {
    (
        umask 022
        if [ $# -eq 3 ]; then SOURCE_DATE_EPOCH=$3 && export SOURCE_DATE_EPOCH; else unset SOURCE_DATE_EPOCH; fi
        "$cpack" -G DEB --config "$1/$config" -B "$2"
    ) > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "cpack in $1"; }
    ls "$2/$name"_"$version"_*.deb
}

# explain A B: where two packages differ: ar members, listings, files.
explain() {
    mkdir "$tmp/a" "$tmp/b"
    (cd "$tmp/a" && ar x "$1")
    (cd "$tmp/b" && ar x "$2")
    for member in "$tmp"/a/*; do
        cmp "$member" "$tmp/b/${member##*/}"
    done
    dpkg-deb -c "$1" > "$tmp/a.list"
    dpkg-deb -c "$2" > "$tmp/b.list"
    diff "$tmp/a.list" "$tmp/b.list"
    dpkg-deb -R "$1" "$tmp/a/tree"
    dpkg-deb -R "$2" "$tmp/b/tree"
    diff -r "$tmp/a/tree" "$tmp/b/tree"
}

# The filter's package, and the preview's where the build has it: each
# package on its own, in directories of its own.
packages="pixstream:CPackConfig.cmake"
[ ! -f "$build/CPackShowConfig.cmake" ] || packages="$packages pixstream-show:CPackShowConfig.cmake"
for package in $packages; do
    name=${package%%:*}
    config=${package#*:}
    rm -rf "$tmp/pkg1" "$tmp/pkg2" "$tmp/pkg3" "$tmp/pkg4" "$tmp/a" "$tmp/b"

    epoch=1700000000
    first=$(pack "$build" "$tmp/pkg1" "$epoch")
    second=$(pack "$tmp/build" "$tmp/pkg2" "$epoch")
    cmp -s "$build/$name" "$tmp/build/$name" || fail "the two builds give different programs ($name)"
    if ! cmp -s "$first" "$second"; then
        fail "with SOURCE_DATE_EPOCH=$epoch the packages differ"
        explain "$first" "$second"
    fi
    # Every member is stamped with the epoch.
    stamps=$(dpkg-deb --fsys-tarfile "$first" | tar -tv --full-time --utc | awk '{ print $4, $5 }' | sort -u)
    [ "$stamps" = "$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')" ] || fail "time stamps are
    $stamps"

    # Without SOURCE_DATE_EPOCH the packages, made seconds apart, still agree:
    # they carry the date of the latest changelog entry.
    first=$(pack "$build" "$tmp/pkg3")
    sleep 1
    second=$(pack "$tmp/build" "$tmp/pkg4")
    cmp -s "$first" "$second" || fail "without SOURCE_DATE_EPOCH the packages differ"
    released=$(dpkg-parsechangelog -l "$src/packaging/changelog" -S Timestamp)
    stamps=$(dpkg-deb --fsys-tarfile "$first" | tar -tv --full-time --utc | awk '{ print $4, $5 }' | sort -u)
    [ "$stamps" = "$(date -u -d "@$released" '+%Y-%m-%d %H:%M:%S')" ] || fail "time stamps are
    $stamps"

    [ "$failed" -eq 0 ] && echo "$(basename "$first"): the same bytes from both builds, $(sha256sum < "$first" | cut -c1-16)"
done
exit "$failed"

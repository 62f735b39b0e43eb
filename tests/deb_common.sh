# What deb.sh and deb_show.sh share; each sources it once it has set tmp and
# defined fail.

# lintianCheck DEB: lintian's errors and warnings fail; informational tags
# are shown, not judged. Leaves lintian empty where it is not installed.
lintianCheck() {
    lintian=$(command -v lintian || true)
    [ -n "$lintian" ] || return 0
    "$lintian" --allow-root --display-info --fail-on error,warning "$1" > "$tmp/lintian" 2>&1 ||
        fail "lintian:
$(cat "$tmp/lintian")"
    [ ! -s "$tmp/lintian" ] || sed 's/^/lintian: /' "$tmp/lintian"
}

# standInRoot ROOT ARCH LIBRARY...: a scratch root for dpkg whose package
# database holds stand-ins for those of the libraries this machine has, at
# its versions, as packages of ARCH, so that a package installs there
# without forcing its dependencies. dpkgr runs dpkg on it.
standInRoot() {
    root=$1
    arch=$2
    shift 2
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
    : > "$root/var/lib/dpkg/status"
    [ "$arch" = "$(dpkg --print-architecture)" ] || dpkgr --add-architecture "$arch"
    for library in "$@"; do
        dpkg-query -W "$library:$(dpkg --print-architecture)" > /dev/null 2>&1 || continue
        printf '%s\n' "Package: $library" "Status: install ok installed" "Priority: optional" "Section: libs" \
            "Maintainer: none" "Architecture: $arch" "Multi-Arch: same" \
            "Version: $(dpkg-query -W -f '${Version}' "$library:$(dpkg --print-architecture)")" \
            "Description: stand-in" "" >> "$root/var/lib/dpkg/status"
        : > "$root/var/lib/dpkg/info/$library:$arch.list"
    done
}
dpkgr() { dpkg --root="$root" --force-not-root --log=/dev/null "$@"; }

#!/bin/sh
# Checks one Debian package built by cpack beyond what lintian looks at:
# Depends names each package once; Installed-Size is the size of what it
# installs (not a multiple of it); its programs and libraries are stripped;
# its maintainer scripts are sound shell; a pkg-config file names normalised
# folders that pkg-config leaves out as the system's own; the development
# package carries the HTML API reference; the tools package runs its system
# service under the system account it makes.
#
# usage: scripts/check-package.sh DEB
set -eu
deb=${1:?usage: $0 DEB}
work=$(mktemp -d /tmp/tessera-package-check.XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
root=$work/root
dpkg-deb --extract "$deb" "$root"
dpkg-deb --control "$deb" "$work/control"
name=$(dpkg-deb --field "$deb" Package)

fail() {
    echo "check-package: $name: $*" >&2
    exit 1
}

twice=$(dpkg-deb --field "$deb" Depends | tr ',' '\n' | awk '{ print $1 }' | sort | uniq -d)
[ -z "$twice" ] || fail "Depends names $twice more than once"

# The size installed, in KiB: the files' bytes, and at most one KiB more for
# each entry (rounding, folders and links).
claimed=$(dpkg-deb --field "$deb" Installed-Size)
actual=$(find "$root" -type f -printf '%s\n' | awk '{ bytes += $1 } END { print int(bytes / 1024) }')
entries=$(find "$root" -mindepth 1 | wc -l)
[ "$claimed" -ge "$actual" ] && [ "$claimed" -le $((actual + entries + 1)) ] ||
    fail "Installed-Size $claimed KiB, but its files take $actual KiB"

find "$root" -type f -exec file {} + | grep 'ELF.*not stripped' && fail "unstripped binaries"

for script in preinst postinst prerm postrm; do
    [ -f "$work/control/$script" ] || continue
    head -n 1 "$work/control/$script" | grep -qx '#!/bin/sh' || fail "$script is no /bin/sh script"
    grep -qx 'set -e' "$work/control/$script" || fail "$script lacks set -e"
    sh -n "$work/control/$script" || fail "$script does not parse"
done

pc=$(find "$root" -name tessera.pc)
if [ -n "$pc" ]; then
    grep -E '/\.\.?(/|$)' "$pc" && fail "tessera.pc names unnormalised folders"
    flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs tessera)
    [ "$(echo $flags)" = "-ltessera" ] || fail "pkg-config gives '$flags', not the system folders left out"
fi

case $name in
libtessera-dev)
    [ -f "$root/usr/share/doc/libtessera-dev/html/index.html" ] || fail "no HTML API reference"
    ;;
tessera-tools)
    unit=$root/usr/lib/systemd/system/pkisim.service
    grep -qx 'User=pkisim' "$unit" || fail "the system unit does not run as pkisim"
    grep -q '^DynamicUser=' "$unit" && fail "the system unit uses a dynamic user"
    grep -qx 'u pkisim - .*' "$root/usr/lib/sysusers.d/pkisim.conf" || fail "no system account pkisim"
    for script in postinst prerm postrm; do
        [ -f "$work/control/$script" ] || fail "no $script"
    done
    ;;
esac
echo "check-package: $name is sound"

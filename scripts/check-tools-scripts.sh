#!/bin/sh
# Runs the maintainer scripts of tessera-tools on an unpacked tree, as dpkg
# does for a tree that is not the running system (DPKG_ROOT): installing
# makes the system account pkisim with a uid below UID_MIN, which clients of
# the service trust; removing and purging leave the account but remove the
# system service's device keys.
#
# usage: scripts/check-tools-scripts.sh TESSERA_TOOLS_DEB ROOT
#   ROOT  the folder where the packages are unpacked (it stands for /)
set -eu
deb=${1:?usage: $0 TESSERA_TOOLS_DEB ROOT}
root=$(cd "${2:?usage: $0 TESSERA_TOOLS_DEB ROOT}" && pwd)
work=$(mktemp -d /tmp/tessera-scripts-check.XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
dpkg-deb --control "$deb" "$work"
export DPKG_ROOT="$root"

fail() {
    echo "check-tools-scripts: $*" >&2
    exit 1
}

mkdir -p "$root/etc"
sh "$work/postinst" configure
uid=$(awk -F: '$1 == "pkisim" { print $3 }' "$root/etc/passwd")
uidMin=$(awk '$1 == "UID_MIN" { print $2 }' /etc/login.defs 2>/dev/null)
[ -n "$uid" ] || fail "postinst made no account pkisim"
[ "$uid" -gt 0 ] && [ "$uid" -lt "${uidMin:-1000}" ] || fail "pkisim has uid $uid, not a system account's"
echo "postinst: pkisim has uid $uid"
sh "$work/postinst" configure 0.1.0 # an upgrade keeps the account
[ "$(awk -F: '$1 == "pkisim" { print $3 }' "$root/etc/passwd")" = "$uid" ] || fail "an upgrade changed the account"

mkdir -p "$root/var/lib/pkisim/keys"
sh "$work/prerm" remove
sh "$work/postrm" remove
[ -d "$root/var/lib/pkisim/keys" ] || fail "removing lost the device keys"
sh "$work/postrm" purge
[ ! -e "$root/var/lib/pkisim" ] || fail "purging left /var/lib/pkisim"
grep -q '^pkisim:' "$root/etc/passwd" || fail "purging removed the account"
echo "check-tools-scripts: the scripts make the account and clean up on purge"

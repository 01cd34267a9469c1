#!/bin/sh
# Checks what a build hands to its users: the API reference builds without
# warnings; the tree installed into a temporary prefix works (programs built
# against it with pkg-config and find_package run against its pkisim, and so
# does its tessera command); the Debian packages are built, listed, checked
# one by one (scripts/check-package.sh) and by lintian (no warnings), the
# maintainer scripts of tessera-tools do their work on the unpacked tree, and
# the packages work once unpacked; the library's ABI matches the committed
# baseline. CI runs it after scripts/test.sh, on that build.
#
# usage: scripts/check-dist.sh [BUILD_DIR]      (default: build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d /tmp/tessera-dist-check.XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM

say() { printf '\n== %s\n' "$*"; }

# Manual pages and completion scripts are part of the default target.
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)"

say "API reference"
cmake --build "$build" --target docs

say "Installed into a temporary prefix"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
./scripts/isolated.sh ./scripts/check-install.sh "$work/prefix"

say "Debian packages"
(cd "$build" && cpack -G DEB -B "$work/packages" >/dev/null)
for deb in "$work"/packages/*.deb; do
    say "$(basename "$deb")"
    dpkg-deb --field "$deb" Package Version Architecture Section Multi-Arch Installed-Size Depends
    dpkg-deb --contents "$deb" | awk '{ print "  " $6 ($7 ? " " $7 " " $8 : "") }'
    dpkg-deb --extract "$deb" "$work/root"
    ./scripts/check-package.sh "$deb"
done
say "lintian"
lintian --fail-on error,warning --display-info "$work"/packages/*.deb
echo "lintian: no errors or warnings"
say "tessera-tools: its maintainer scripts on the unpacked tree"
./scripts/check-tools-scripts.sh "$work"/packages/tessera-tools_*.deb "$work/root"
say "The unpacked packages"
./scripts/isolated.sh ./scripts/check-install.sh "$work/root/usr" "$work/root"

say "ABI"
./scripts/abi-check.sh "$build"

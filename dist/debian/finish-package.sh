#!/bin/sh
# Finishes a Debian package that CPack built, as Debian's own tools make them:
# - Installed-Size counts every file once, by dpkg-gencontrol's rule (each
#   regular file's size in KiB rounded up, 1 for every other entry). CPack
#   follows symbolic links and so counts a library's links at its full size.
# - A package with a shared library relies on its ldconfig trigger alone:
#   CPack's maintainer scripts that do nothing but run ldconfig are dropped.
# - Depends names each package once: the first entry stays (the exact
#   versions given in cmake/TesseraPackaging.cmake come before what
#   dpkg-shlibdeps adds, which may name the same library again).
#
# usage: dist/debian/finish-package.sh DEB      (rewritten in place)
set -eu
deb=${1:?usage: $0 DEB}
work=$(mktemp -d /tmp/tessera-finish-package.XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM

dpkg-deb --raw-extract "$deb" "$work/root"
control=$work/root/DEBIAN

for script in postinst postrm; do
    # CPack's script: the shell line, `set -e` and ldconfig for configure or remove.
    if [ -f "$control/$script" ] &&
        ! grep -qvE '^(#!/bin/sh|set -e|if \[ "\$1" = "(configure|remove)" \]; then|[[:space:]]*ldconfig|fi|)$' \
            "$control/$script"; then
        rm "$control/$script"
    fi
done

awk -v OFS= '
    /^Depends: / {
        count = split(substr($0, 10), entries, /, */)
        line = ""
        for (i = 1; i <= count; i++) {
            split(entries[i], words, / /)
            if (!(words[1] in named))
                line = line (line == "" ? "" : ", ") entries[i]
            named[words[1]] = 1
        }
        $0 = "Depends: " line
    }
    { print }' "$control/control" >"$work/control"
cat "$work/control" >"$control/control"

size=$(find "$work/root" -mindepth 1 -path "$control" -prune -o -printf '%y %s\n' |
    awk '{ kib += ($1 == "f") ? int(($2 + 1023) / 1024) : 1 } END { print kib + 0 }')
sed -i "s/^Installed-Size: .*/Installed-Size: $size/" "$control/control"
dpkg-deb --root-owner-group --build "$work/root" "$deb" >/dev/null

#!/bin/sh
# ABI check of libtessera: compares the ABI of the built library (its exported
# functions and the types of include/tessera.h they use, inline classes
# included, as abidw reads them from the debug information) with the
# committed baseline dist/abi/libtessera.abi. Fails on any change but added
# functions: such a change needs a new SONAME (README, "ABI and SONAME").
#
# usage: scripts/abi-check.sh [BUILD_DIR]            check (default build: build)
#        scripts/abi-check.sh --update [BUILD_DIR]   write the baseline from the
#            built library, on purpose: after adding functions (in a new
#            version node of lib/tessera/tessera.map) or with a new SONAME;
#            commit dist/abi/libtessera.abi with that change.
set -eu
cd "$(dirname "$0")/.."
update=false
if [ "${1:-}" = --update ]; then
    update=true
    shift
fi
build=${1:-build}
baseline=dist/abi/libtessera.abi

cmake --build "$build" --target tessera >/dev/null
library=$(readlink -f "$build/lib/libtessera.so")
dump() {
    abidw --no-show-locs --no-comp-dir-path --no-corpus-path --drop-undefined-syms \
        --suppressions dist/abi/public.abignore "$library"
}

if $update; then
    dump >"$baseline"
    echo "abi-check: $baseline written from $library"
    exit 0
fi

work=$(mktemp -d /tmp/tessera-abi.XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
dump >"$work/current.abi"

# abidiff's status is a bit set: 1 error, 2 usage error, 4 ABI change,
# 8 incompatible change.
status=0
abidiff "$baseline" "$work/current.abi" >"$work/report" || status=$?
if [ "$status" -eq 0 ]; then
    echo "abi-check: the ABI of $(basename "$library") matches $baseline"
    exit 0
fi
cat "$work/report"
if [ $((status & 3)) -ne 0 ]; then
    echo "abi-check: abidiff failed (status $status)" >&2
    exit 1
fi
# Without the added functions, is anything left?
if abidiff --no-added-syms "$baseline" "$work/current.abi" >/dev/null; then
    echo "abi-check: functions were added, nothing else changed: compatible." \
        "Record them with scripts/abi-check.sh --update."
    exit 0
fi
echo "abi-check: incompatible ABI change (see above): undo it, or raise" \
    "TESSERA_SOVERSION and write a new baseline with scripts/abi-check.sh --update" >&2
exit 1

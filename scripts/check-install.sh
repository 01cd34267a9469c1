#!/bin/sh
# Checks an installed tessera tree as its users meet it: builds programs
# against it (pkg-config, find_package), starts the installed pkisim, and runs
# those programs and the installed tessera command against it. Binds
# 127.0.0.1:18080, so run it inside scripts/isolated.sh.
#
# usage: scripts/check-install.sh PREFIX [ROOT]
#   PREFIX  the tree's prefix: DIR, or ROOT/usr for unpacked packages
#   ROOT    the folder that stands for / (packages name their files in /usr)
set -eu
cd "$(dirname "$0")/.."
. ./scripts/pkisim-background.sh
prefix=$(cd "${1:?usage: $0 PREFIX [ROOT]}" && pwd)
if [ -n "${2:-}" ]; then
    # pkg-config puts ROOT before the file's folders, and so must not leave
    # out /usr/include and the like as the system's own.
    export PKG_CONFIG_SYSROOT_DIR PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 PKG_CONFIG_ALLOW_SYSTEM_LIBS=1
    PKG_CONFIG_SYSROOT_DIR=$(cd "$2" && pwd)
fi
work=$(mktemp -d /tmp/tessera-install-check.XXXXXX)
trap 'stop_pkisim; rm -rf "$work"' EXIT INT TERM

say() { printf '== %s\n' "$*"; }
programs=""

# A program compiled with `pkg-config --cflags --libs tessera`; the run path
# lets it find the library without ldconfig. Sets $out to the program.
# usage: build_pkgconfig COMPILER SOURCE     (COMPILER c++, or cc for C)
build_pkgconfig() {
    out="$work/pkgconfig-$(basename "$2")"
    libdir=$(pkg-config --variable=libdir tessera)
    # shellcheck disable=SC2046  # the flags are separate words
    "$1" "$2" -o "$out" $(pkg-config --cflags --libs tessera) -Wl,-rpath,"$libdir"
}

# The same, for a program that lists the devices.
consumer_pkgconfig() {
    build_pkgconfig "$@"
    programs="$programs $out"
}

# A program built by CMake with find_package(tessera).
# usage: consumer_cmake SOURCE
consumer_cmake() {
    out="$work/cmake-$(basename "$1")"
    cmake -S dist/consumer -B "$out.build" -DCMAKE_PREFIX_PATH="$prefix" -DSOURCE="$PWD/$1" >/dev/null
    cmake --build "$out.build" >/dev/null
    cp "$out.build/consumer" "$out"
    programs="$programs $out"
}

say "Building programs against $prefix"
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name tessera.pc | head -n 1)")
consumer_pkgconfig c++ examples/listDevices.cpp
consumer_cmake examples/listDevices.cpp
consumer_pkgconfig cc examples/listDevicesC.c
build_pkgconfig cc examples/longTextC.c
longText=$out

say "Reading the installed catalogue.json"
/usr/bin/python3 -c 'import json, sys; assert json.load(open(sys.argv[1]))["errors"][0]["name"] == "VPKI_OK"' \
    "$prefix/share/tessera/catalogue.json"

say "Starting the installed pkisim"
start_pkisim "$work/pkisim.out" "$prefix/bin/pkisim" --control "$work/control.sock"

for program in $programs; do
    say "Running $(basename "$program")"
    "$program" | grep -q SIM-RSA-01
done
say "Running long-text-c"
"$longText" 50000 | grep -q "^sent 50000 bytes, received"
say "Running the installed tessera"
"$prefix/bin/tessera" --text devices | grep -q SIM-ECC-01
"$prefix/bin/pkisim" ctl --control "$work/control.sock" status | grep -q '"ok":true'
# The Python package, where the tree has it (python3-tessera, or a build with
# python3-cffi), imported from the tree with the tree's library.
python_dir="$prefix/lib/python3/dist-packages"
if [ -d "$python_dir/tessera" ]; then
    say "Running the Python example with the installed package"
    libdir=$(dirname "$(find "$prefix" -name 'libtessera.so.*' | head -n 1)")
    (cd "$work" && PYTHONPATH="$python_dir" LD_LIBRARY_PATH="$libdir" PYTHONDONTWRITEBYTECODE=1 \
        /usr/bin/python3 -c 'import tessera, sys; assert tessera.__file__.startswith(sys.argv[1]), tessera.__file__' \
        "$python_dir" &&
        PYTHONPATH="$python_dir" LD_LIBRARY_PATH="$libdir" PYTHONDONTWRITEBYTECODE=1 \
        /usr/bin/python3 "$OLDPWD/examples/list_devices.py" | grep -q SIM-ECC-01)
fi
stop_pkisim
echo "check-install: $prefix works"

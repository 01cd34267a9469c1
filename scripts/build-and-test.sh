#!/bin/sh
# Configures, builds and runs the test suite in one build directory.
# Usage: scripts/build-and-test.sh BUILD_DIR [cmake options...]
# Example: scripts/build-and-test.sh build-asan -DTESSERA_SANITIZE=address,undefined
set -eu
cd "$(dirname "$0")/.."
build=${1:?usage: $0 BUILD_DIR [cmake options...]}
shift

jobs=$(nproc 2>/dev/null || echo 2)
# ccache, when installed, makes rebuilds (and CI runs from a fresh clone) quick.
launcher=""
if command -v ccache >/dev/null 2>&1; then
    launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    export CCACHE_BASEDIR="$PWD"
fi
cmake -S . -B "$build" -DTESSERA_WERROR=ON $launcher "$@"
cmake --build "$build" -j"$jobs"

# Sanitizer reports end the test that triggers them (and so the run).
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
./scripts/isolated.sh ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 600

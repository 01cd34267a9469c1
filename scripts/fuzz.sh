#!/bin/sh
# Builds the libFuzzer programs (clang, with the library and pkisim code
# instrumented for coverage, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs one target, or each in turn, for a number of seconds.
#
# usage: scripts/fuzz.sh [target|all] [seconds]     (default: all, 60)
#   targets: the folders of fuzz/corpus, one per target
#   FUZZ_BUILD_DIR  build directory (default build-fuzz)
#   FUZZ_JOBS       parallel build jobs (default 2)
#
# New inputs go to $FUZZ_BUILD_DIR/fuzz-corpus/<target>; the seeds in
# fuzz/corpus/<target> are only read. A crash is written to
# $FUZZ_BUILD_DIR/fuzz-artifacts/<target>/ and makes the script fail;
# once the fault is fixed, copy the input into fuzz/corpus/<target>/ under
# a name that says what it holds, so that every test run replays it.
set -eu
cd "$(dirname "$0")/.."

# Each target of fuzz/CMakeLists.txt replays its seed folder, so the
# folders name the targets.
# shellcheck disable=SC2012  # the folder names are plain words
all_targets=$(ls fuzz/corpus | paste -s -d ' ' -)
target=${1:-all}
seconds=${2:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${FUZZ_JOBS:-2}

case "$target" in
    all) targets=$all_targets ;;
    *)
        case " $all_targets " in
            *" $target "*) targets=$target ;;
            *) echo "fuzz.sh: unknown target '$target' (one of: $all_targets)" >&2; exit 2 ;;
        esac ;;
esac

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSERA_BUILD_FUZZ=ON -DTESSERA_BUILD_TESTS=OFF -DTESSERA_BUILD_BENCH=OFF -DTESSERA_WERROR=ON \
    -DTESSERA_SANITIZE=address,undefined -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
for t in $targets; do
    cmake --build "$build" -j "$jobs" --target "fuzz_$t"
done

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=""
for t in $targets; do
    work="$build/fuzz-corpus/$t"
    artifacts="$build/fuzz-artifacts/$t/"
    mkdir -p "$work" "$artifacts"
    dict=""
    if [ -f "fuzz/dict/$t.dict" ]; then
        dict="-dict=fuzz/dict/$t.dict"
    fi
    echo "== $t: $seconds s"
    # shellcheck disable=SC2086  # $dict is empty or one word
    if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$artifacts" $dict "$work" "fuzz/corpus/$t" 2>"$build/fuzz-$t.log"; then
        failed="$failed $t"
    fi
    grep -E '^#[0-9]+.*(DONE|cov:)' "$build/fuzz-$t.log" | tail -n 1 || true
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$build/fuzz-$t.log" || true
done

if [ -n "$failed" ]; then
    echo "fuzz.sh: crashes in:$failed (logs: $build/fuzz-<target>.log)" >&2
    exit 1
fi

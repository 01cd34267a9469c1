#!/bin/sh
# Checks that every C and C++ source follows .clang-format; with --fix,
# rewrites the files that do not.
# Usage: scripts/check-format.sh [--fix]
set -eu
cd "$(dirname "$0")/.."
files=$(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    # shellcheck disable=SC2086
    clang-format -i $files
else
    # shellcheck disable=SC2086
    clang-format --dry-run --Werror $files
fi

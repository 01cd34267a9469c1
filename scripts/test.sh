#!/bin/sh
# Installs the dependencies, builds the project and runs the whole test suite.
# Run as root on Debian 12 (or as a user with sudo).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build-and-test.sh build -DCMAKE_BUILD_TYPE=Release

#!/bin/sh
# Installs every build, test and tooling dependency from Debian's packages.
# Safe to run repeatedly; needs root (or sudo) on Debian 12.
set -eu

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
    g++ cmake make pkg-config \
    libthrift-dev thrift-compiler libboost-dev \
    nlohmann-json3-dev libssl-dev openssl jq \
    googletest libgtest-dev libgmock-dev libbenchmark-dev \
    binutils procps iproute2 util-linux ccache ca-certificates \
    scdoc doxygen clang-format abigail-tools lintian dpkg-dev fakeroot file \
    python3-dev python3-cffi python3-setuptools python3-pip python3-pytest python3-cryptography

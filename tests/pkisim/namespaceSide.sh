#!/bin/sh
# One side of the test of services in two network namespaces, run inside
# scripts/isolated.sh: starts pkisim on the default ports and control socket,
# inserts a device named TAG, prints "ready", and once a line arrives on FIFO
# prints the devices that `pkisim ctl devices` reaches, then stops pkisim.
#
# usage: namespaceSide.sh PKISIM FIFO TAG
set -eu
. "$(dirname "$0")/../../scripts/pkisim-background.sh"
pkisim=$1
fifo=$2
tag=$3
out=$(mktemp /tmp/tessera-namespace-side.XXXXXX)
trap 'stop_pkisim; rm -f "$out"' EXIT INT TERM

start_pkisim "$out" "$pkisim"
"$pkisim" ctl insert --id "$tag" --key ECC >/dev/null
echo ready
read -r _ <"$fifo"
"$pkisim" ctl devices

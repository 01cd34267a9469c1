#!/bin/sh
# The main job, end to end on a fresh Debian 12 machine (as root or with sudo):
# install the dependencies, build, start the development service pkisim, list
# its devices (from C++ and from Python), sign a file with the RSA and the ECC
# device key through the library, verify both signatures with openssl, and
# stop pkisim.
# --no-install skips the package installation (it is already done).
set -eu
cd "$(dirname "$0")/.."
. ./scripts/pkisim-background.sh

say() { printf '\n== %s\n' "$*"; }

if [ "${1:-}" != "--no-install" ]; then
    ./scripts/install-deps.sh
fi
say "Building"
cmake -S . -B build -DTESSERA_WERROR=ON >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target pkisim tessera_cli list-devices tessera_python

work=$(mktemp -d /tmp/tessera-demo.XXXXXX)
trap 'stop_pkisim; rm -rf "$work"' EXIT INT TERM

say "Starting pkisim on 127.0.0.1:18080"
start_pkisim "$work/pkisim.out" ./build/pkisim/pkisim --keys "$work/keys" --control "$work/control.sock"
cat "$work/pkisim.out"

tessera=./build/cli/tessera

say "The example program: log in, list devices, log out"
./build/examples/list-devices

say "The same from Python (the package tessera, built in build/python)"
PYTHONPATH=build/python LD_LIBRARY_PATH=build/lib /usr/bin/python3 examples/list_devices.py

say "Devices, as the tessera command lists them"
$tessera devices --text

data="$work/document.txt"
printf 'The quick brown fox signs over the lazy dog.\n' >"$data"
for key in RSA ECC; do
    device="SIM-$key-01"
    option=$(echo "$key" | tr 'A-Z' 'a-z')
    say "Signing $data with the $key key of $device"
    $tessera sign --"$option" --in "$data" --out "$work/$option.sig" \
        --key "{\"devId\":\"$device\",\"applicationName\":\"pkisim\",\"containerName\":\"sign\"}"
    $tessera call deviceOperator exportCertificate \
        "{\"devID\":\"$device\",\"appName\":\"pkisim\",\"conName\":\"sign\"}" |
        jq -r .body.cert | openssl base64 -d -A >"$work/$option.der"
    openssl x509 -inform DER -in "$work/$option.der" -pubkey -noout >"$work/$option.pub"
done

say "Verifying the RSA signature (PKCS#1 v1.5, SHA-256) against the device's certificate"
openssl dgst -sha256 -verify "$work/rsa.pub" -signature "$work/rsa.sig" "$data"

say "Verifying the ECC signature (r and s, 64 bytes each) as ECDSA P-256, SHA-256"
half() { od -An -v -tx1 -j "$1" -N 64 "$work/ecc.sig" | tr -d ' \n'; }
printf 'asn1=SEQUENCE:signature\n[signature]\nr=INTEGER:0x%s\ns=INTEGER:0x%s\n' "$(half 0)" "$(half 64)" >"$work/ecc.asn1"
openssl asn1parse -genconf "$work/ecc.asn1" -out "$work/ecc.sig.der" -noout
openssl dgst -sha256 -verify "$work/ecc.pub" -signature "$work/ecc.sig.der" "$data"

say "Stopping pkisim"
stop_pkisim
echo "done: both signatures verified"

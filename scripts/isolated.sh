#!/bin/sh
# Runs a command in a private network namespace with its own loopback, so that
# tests binding 127.0.0.1:18080 neither meet nor disturb anything else
# listening on this machine. Runs the command directly where namespaces are
# not available (then nothing else may listen on 18080/18081).
if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
    exec unshare -n sh -c 'ip link set lo up && exec "$0" "$@"' "$@"
fi
if unshare -rn true 2>/dev/null; then
    exec unshare -rn sh -c 'ip link set lo up && exec "$0" "$@"' "$@"
fi
exec "$@"

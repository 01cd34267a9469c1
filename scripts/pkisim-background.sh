# Sourced by the scripts that run pkisim in the background.
#
# stop_pkisim: stops the pkisim that start_pkisim started, if any, and waits
# for it to end; safe to call more than once.
#
# start_pkisim OUTPUT_FILE PKISIM [ARGUMENTS...]: starts PKISIM with its
# output in OUTPUT_FILE, sets pkisim_pid, and waits for the line it prints
# once it listens (key generation takes a moment). Exits the script when it
# does not start.
start_pkisim() {
    pkisim_out=$1
    shift
    "$@" >"$pkisim_out" 2>&1 &
    pkisim_pid=$!
    pkisim_tries=0
    until grep -q listening "$pkisim_out" 2>/dev/null; do
        pkisim_tries=$((pkisim_tries + 1))
        if [ "$pkisim_tries" -gt 300 ] || ! kill -0 "$pkisim_pid" 2>/dev/null; then
            echo "pkisim did not start:" >&2
            cat "$pkisim_out" >&2
            exit 1
        fi
        sleep 0.1
    done
}

pkisim_pid=""
stop_pkisim() {
    if [ -n "$pkisim_pid" ]; then
        kill -TERM "$pkisim_pid" 2>/dev/null || true
        wait "$pkisim_pid" 2>/dev/null || true
        pkisim_pid=""
    fi
}

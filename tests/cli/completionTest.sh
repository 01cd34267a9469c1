#!/bin/sh
# The bash completion scripts as bash runs them: each case types a command
# line and checks what completes for its last word.
# usage: completionTest.sh COMPLETION_DIR
set -u
dir=${1:?usage: $0 COMPLETION_DIR}

# Prints the completions of the words given, the last one being typed.
complete_words() {
    bash -c '. "$0/$1" || exit 9
        complete -p "$1" >/dev/null || exit 9
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); "_$1"; echo "${COMPREPLY[*]}"' "$dir" "$@"
}

failed=0
total=0
# expected | command line ("" is the word being typed when the line ends in a space)
while IFS='|' read -r expected line; do
    [ -n "$line" ] || continue
    total=$((total + 1))
    eval "set -- $line"
    got=$(complete_words "$@")
    if [ "$got" != "$expected" ]; then
        echo "FAIL: '$line' completes to '$got', expected '$expected'"
        failed=$((failed + 1))
    fi
done <<'CASES'
sign|tessera si
--text|tessera --te
version|tessera --app sign ve
|tessera --app ve
--base64|tessera sign --b
--req-version|tessera call --req
--key|tessera sign --ecc --in data.txt --k
watch|tessera help wa
--no-control|pkisim --no-
ctl|pkisim -p 0 c
insert|pkisim ctl ins
--key|pkisim ctl insert --k
fault faults|pkisim ctl --control /tmp/pkisim.sock fa
--count|pkisim ctl fault delay --method x --c
|pkisim ctl remove --
|pkisim --keys ""
-V|tessera devices -V
deviceOperator|tessera call dev
getDevices getDevInfo|tessera call deviceOperator getDev
--req-version|tessera call deviceOperator getDevInfo --req
signxPlugin|tessera --text methods sig
|tessera methods signxPlugin sign
http-status|pkisim ctl fault http
--status|pkisim ctl fault http-status --st
CASES

echo "$((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]

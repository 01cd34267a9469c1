#!/bin/sh
# Writes the Debian changelog of the packages from CHANGELOG.md: one entry per
# release ("## [x.y.z] - YYYY-MM-DD", or "- Unreleased": an UNRELEASED entry
# dated now, or at SOURCE_DATE_EPOCH), one item per top-level bullet,
# wrapped at 80 columns. Releases of one day are stamped an hour apart,
# newest latest, so that every entry is dated after the one below it.
# usage: changelog.sh CHANGELOG.md "NAME <MAIL>" >changelog
set -eu
changelog=${1:?usage: $0 CHANGELOG.md MAINTAINER}
maintainer=${2:?usage: $0 CHANGELOG.md MAINTAINER}
now=${SOURCE_DATE_EPOCH:+@$SOURCE_DATE_EPOCH}

awk -v maintainer="$maintainer" -v now="${now:-now}" '
    function run(command,    text) {
        command | getline text
        close(command)
        return text
    }
    # Noon of the day, or an hour before the newer entry printed above it.
    function stamp(day, released,    seconds) {
        seconds = run("date -u +%s -d \"" day (released ? " 12:00" : "") "\"")
        if (newer != "" && seconds + 0 >= newer + 0) seconds = newer - 3600
        newer = seconds
        return run("date -u -R -d @" seconds)
    }
    function flushItem(    n, words, i, line) {
        if (item == "") return
        n = split(item, words, / +/)
        line = "  *"
        for (i = 1; i <= n; i++) {
            if (length(line) + 1 + length(words[i]) > 80 && line != "  *") {
                print line
                line = "   "
            }
            line = line " " words[i]
        }
        print line
        item = ""
    }
    function flushRelease() {
        flushItem()
        if (version != "") printf "\n -- %s  %s\n", maintainer, date
    }
    match($0, /^## \[[^]]*\] - /) {
        flushRelease()
        if (version != "") print ""
        version = substr($0, 5, index($0, "]") - 5)
        day = substr($0, RLENGTH + 1)
        released = day != "Unreleased"
        date = stamp(released ? day : now, released)
        printf "tessera (%s) %s; urgency=medium\n\n", version, released ? "unstable" : "UNRELEASED"
        next
    }
    version != "" && /^- / { flushItem(); item = substr($0, 3); next }
    version != "" && item != "" && /^  +[^ ]/ { sub(/^ +/, ""); item = item " " $0; next }
    END { flushRelease() }
' "$changelog"

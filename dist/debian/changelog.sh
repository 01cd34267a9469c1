#!/bin/sh
# Writes the Debian changelog of the packages from CHANGELOG.md: one entry per
# release ("## [x.y.z] - YYYY-MM-DD", or "- Unreleased": an UNRELEASED entry
# dated now, or at SOURCE_DATE_EPOCH), one item per top-level bullet,
# wrapped at 80 columns.
# usage: changelog.sh CHANGELOG.md "NAME <MAIL>" >changelog
set -eu
changelog=${1:?usage: $0 CHANGELOG.md MAINTAINER}
maintainer=${2:?usage: $0 CHANGELOG.md MAINTAINER}
now=${SOURCE_DATE_EPOCH:+@$SOURCE_DATE_EPOCH}

awk -v maintainer="$maintainer" -v now="${now:-now}" '
    function rfc2822(day,    command, text) {
        command = "date -u -R -d \"" day "\""
        command | getline text
        close(command)
        return text
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
        date = rfc2822(released ? day : now)
        printf "tessera (%s) %s; urgency=medium\n\n", version, released ? "unstable" : "UNRELEASED"
        next
    }
    version != "" && /^- / { flushItem(); item = substr($0, 3); next }
    version != "" && item != "" && /^  +[^ ]/ { sub(/^ +/, ""); item = item " " $0; next }
    END { flushRelease() }
' "$changelog"

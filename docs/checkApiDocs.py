#!/usr/bin/python3
"""Checks that every function of tessera.h has its entry in libtessera(3) (a
"## name" heading of the FUNCTIONS section, several names to a heading
allowed) and a row in the thread table of the guide (the table under
"## Threads and callbacks"). The functions are read from the header itself,
so that a function added there without its documentation fails the check.

usage: checkApiDocs.py TESSERA_H MAN_PAGE GUIDE
"""
import re
import sys

DECLARATION = re.compile(r"^(?:TESSERA_API|static inline)\b[^(]*?\b(\w+)\s*\(", re.MULTILINE)


def header_functions(text):
    return sorted(set(DECLARATION.findall(text)))


def man_entries(text):
    names = set()
    for heading in re.findall(r"^## (.+)$", text, re.MULTILINE):
        names.update(name.strip() for name in heading.split(","))
    return names


def guide_thread_table(text):
    match = re.search(r"^## Threads and callbacks\n(.*?)(?=^## )", text, re.MULTILINE | re.DOTALL)
    if match is None:
        return set()
    names = set()
    for row in re.findall(r"^\|(.*)$", match.group(1), re.MULTILINE):
        first_cell = row.split("|")[0]
        names.update(re.findall(r"`(\w+)`", first_cell))
    return names


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main(header, man, guide):
    functions = header_functions(read(header))
    if not functions:
        print(f"no functions found in {header}")
        return 1
    missing = []
    documented = {"libtessera(3)": man_entries(read(man)), "the guide's thread table": guide_thread_table(read(guide))}
    for where, names in documented.items():
        missing += [f"{name}: no entry in {where}" for name in functions if name not in names]
    for line in missing:
        print(line)
    print(f"{len(functions)} functions, {len(missing)} entries missing")
    return 1 if missing else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))

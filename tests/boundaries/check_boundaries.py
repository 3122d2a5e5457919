#!/usr/bin/env python3
"""Checks the folder boundaries of the source tree (rules.txt beside this file):

- every #include "folder/x.h" names a folder the including folder may use,
  unless the header is one of the including folder's own;
- every #include <QName> comes from a Qt module the folder may use;
- the programs that must run without a display link neither Qt Widgets nor Qt
  GUI (readelf -d).

Usage: check_boundaries.py SOURCE_DIR QT_INCLUDE_DIR [PROGRAM ...]
"""
import os
import re
import subprocess
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCES = (".h", ".hpp", ".cpp", ".c")


def read_rules(path):
    rules = {}
    for line in open(path, encoding="utf-8"):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        folder, uses, qt = (part.split() for part in line.split("|"))
        rules[folder[0]] = (set(uses), set(qt))
    return rules


def owner(rel, rules):
    """The folder of the table that holds a path (the longest match)."""
    parts = rel.split("/")
    for n in range(len(parts) - 1, 0, -1):
        folder = "/".join(parts[:n])
        if folder in rules:
            return folder
    return None


def inside(src, folder, dirpath, header):
    """A quoted include found within the folder's own tree: beside the file,
    from the folder's top, or from one of its subfolders (its own include
    directories)."""
    top = os.path.join(src, folder)
    if os.path.isfile(os.path.join(dirpath, header)) or os.path.isfile(os.path.join(top, header)):
        return True
    for sub, _, _ in os.walk(top):
        if os.path.isfile(os.path.join(sub, header)):
            return True
    return False


def qt_module(header, qt_root, cache={}):
    if header not in cache:
        cache[header] = None
        for module in sorted(os.listdir(qt_root)):
            if module.startswith("Qt") and os.path.isfile(os.path.join(qt_root, module, header)):
                cache[header] = module[2:]
                break
    return cache[header]


def check_includes(src, qt_root, rules):
    faults = []
    roots = {r.split("/")[0] for r in rules}
    for top in sorted(roots):
        for dirpath, _, files in os.walk(os.path.join(src, top)):
            for name in sorted(files):
                if not name.endswith(SOURCES):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, src)
                folder = owner(rel, rules)
                if folder is None:
                    faults.append(f"{rel}: its folder has no line in rules.txt")
                    continue
                uses, qt = rules[folder]
                for number, line in enumerate(open(path, encoding="utf-8", errors="replace"), 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    kind, header = m.groups()
                    where = f"{rel}:{number}"
                    if kind == '"':
                        if inside(src, folder, dirpath, header):
                            continue
                        target = owner(header, rules)
                        if target is None:
                            faults.append(f"{where}: \"{header}\" is no header of {folder}/ nor of a folder in rules.txt")
                        elif target != folder and target not in uses:
                            faults.append(f"{where}: {folder}/ may not include {target}/ (\"{header}\")")
                    elif header.startswith("Q") or header.startswith("Qt"):
                        module = qt_module(header.split("/")[-1], qt_root)
                        if module is not None and module not in qt:
                            faults.append(f"{where}: {folder}/ may not use Qt {module} (<{header}>)")
    return faults


def check_programs(programs):
    faults = []
    for program in programs:
        out = subprocess.run(["readelf", "-d", program], capture_output=True, text=True, check=True).stdout
        for lib in ("libQt6Widgets", "libQt6Gui"):
            if lib in out:
                faults.append(f"{os.path.basename(program)} links {lib}")
    return faults


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    src, qt_root, programs = sys.argv[1], sys.argv[2], sys.argv[3:]
    rules = read_rules(os.path.join(os.path.dirname(os.path.abspath(__file__)), "rules.txt"))
    faults = check_includes(src, qt_root, rules) + check_programs(programs)
    for fault in faults:
        print(fault)
    print(f"{len(faults)} boundary faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

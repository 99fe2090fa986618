#!/usr/bin/env python3
"""Fails when a file under src/ includes a header from a part of src/ that scripts/layering.txt
does not allow it to include. Prints every such include as file:line.
Usage: scripts/check-layering [project-root]   (default: the project this script belongs to)"""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
SRC = ROOT / "src"
TABLE = ROOT / "scripts" / "layering.txt"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def read_table():
    units, allowed, exceptions = {}, {}, set()
    for number, raw in enumerate(TABLE.read_text().splitlines(), 1):
        words = raw.split("#", 1)[0].split()
        if not words:
            continue
        kind, rest = words[0], words[1:]
        if kind == "unit" and len(rest) >= 2:
            units[rest[0]] = set(rest[1:])
        elif kind == "allow" and rest:
            allowed[rest[0]] = set(rest[1:])
        elif kind == "except" and len(rest) == 2:
            exceptions.add((rest[0], rest[1]))
        else:
            sys.exit(f"{TABLE}:{number}: cannot read: {raw}")
    return units, allowed, exceptions


def main():
    units, allowed, exceptions = read_table()
    folders = {p.name for p in SRC.iterdir() if p.is_dir()}
    problems = []
    for folder in sorted(folders):
        if folder not in allowed:
            problems.append(f"src/{folder}: no 'allow {folder} ...' line in {TABLE.relative_to(ROOT)}")
    for path in sorted(SRC.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        source = path.relative_to(SRC).as_posix()
        origin = source.split("/", 1)[0]
        if origin not in folders:
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = match.group(1)
            to = target.split("/", 1)[0]
            if "/" not in target or to not in folders or to == origin:
                continue
            ok = (source, target) in exceptions
            for name in allowed.get(origin, ()):
                if name == to or target in units.get(name, ()):
                    ok = True
            if not ok:
                problems.append(f"src/{source}:{number}: {origin} may not include \"{target}\"")
    for line in problems:
        print(line)
    if problems:
        print(f"{len(problems)} include(s) outside the layers of {TABLE.relative_to(ROOT)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

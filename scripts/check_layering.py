#!/usr/bin/env python3
"""Checks the library graph of src/ against scripts/layering.txt.

Every folder of src/ with a CMakeLists.txt is one library (with the executables built beside it),
and the table gives, for each, the library folders it may use. The check fails when:
  - a library folder has no line in the table, or a line names a folder that is not a library;
  - a file includes a header of another library its folder may not use;
  - a folder's CMake link lists name other libraries of ours than the table does (both must agree);
  - the graph has a cycle.
Every problem is printed (file:line for includes).
Usage: scripts/check-layering [project-root]   (default: the project this script belongs to)"""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
SRC = ROOT / "src"
TABLE = ROOT / "scripts" / "layering.txt"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
DEFINE = re.compile(r'\b(?:add_library|add_executable)\(\s*([A-Za-z0-9_.-]+)')
LINK = re.compile(r'\btarget_link_libraries\(\s*([A-Za-z0-9_.-]+)([^)]*)\)')


def read_table():
    uses = {}
    for number, raw in enumerate(TABLE.read_text().splitlines(), 1):
        text = raw.split("#", 1)[0].strip()
        if not text:
            continue
        folder, colon, rest = text.partition(":")
        if not colon or not folder.strip() or " " in folder.strip():
            sys.exit(f"{TABLE}:{number}: cannot read (expected 'folder: used folders'): {raw}")
        uses[folder.strip()] = set(rest.split())
    return uses


def library_folders():
    return {p.parent.relative_to(SRC).as_posix() for p in SRC.rglob("CMakeLists.txt") if p.parent != SRC}


def owner(path, folders):
    """The deepest library folder holding `path` (a path relative to src/), or None."""
    parts = path.split("/")
    for depth in range(len(parts) - 1, 0, -1):
        candidate = "/".join(parts[:depth])
        if candidate in folders:
            return candidate
    return None


def cmake_edges(folders):
    """Per folder, the library folders its targets link, read from the CMake files."""
    target_folder, links = {}, {}
    for folder in folders:
        text = (SRC / folder / "CMakeLists.txt").read_text()
        text = "\n".join(line.split("#", 1)[0] for line in text.splitlines())
        for name in DEFINE.findall(text):
            target_folder[name] = folder
        links[folder] = [(m.group(1), m.group(2).split()) for m in LINK.finditer(text)]
    edges = {}
    for folder, blocks in links.items():
        edges[folder] = set()
        for target, words in blocks:
            if target_folder.get(target) != folder:
                continue
            for word in words:
                other = target_folder.get(word)
                if other is not None and other != folder:
                    edges[folder].add(other)
    return edges


def cycle(uses):
    state = {}

    def visit(node, trail):
        state[node] = 1
        for nxt in sorted(uses.get(node, ())):
            if state.get(nxt) == 1:
                return trail + [node, nxt]
            if nxt not in state:
                found = visit(nxt, trail + [node])
                if found:
                    return found
        state[node] = 2
        return None

    for node in sorted(uses):
        if node not in state:
            found = visit(node, [])
            if found:
                return found
    return None


def main():
    uses = read_table()
    folders = library_folders()
    table = TABLE.relative_to(ROOT)
    problems = []
    for folder in sorted(folders - uses.keys()):
        problems.append(f"src/{folder}: no '{folder}: ...' line in {table}")
    for folder in sorted(uses.keys() - folders):
        problems.append(f"{table}: '{folder}' is not a library folder (no src/{folder}/CMakeLists.txt)")
    for folder, used in sorted(uses.items()):
        for other in sorted(used - folders):
            problems.append(f"{table}: {folder} uses '{other}', which is not a library folder")
    for path in sorted(SRC.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        source = path.relative_to(SRC).as_posix()
        origin = owner(source, folders)
        if origin is None:
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = owner(match.group(1), folders)
            if target is None or target == origin or target in uses.get(origin, ()):
                continue
            problems.append(f"src/{source}:{number}: {origin} may not include \"{match.group(1)}\"")
    for folder, linked in sorted(cmake_edges(folders & uses.keys()).items()):
        declared = uses[folder]
        for other in sorted(linked - declared):
            problems.append(f"src/{folder}/CMakeLists.txt links {other}, which {table} does not give {folder}")
        for other in sorted(declared - linked):
            problems.append(f"{table}: {folder} uses {other}, which src/{folder}/CMakeLists.txt does not link")
    loop = cycle(uses)
    if loop:
        problems.append(f"{table}: the graph has a cycle: {' -> '.join(loop)}")
    for line in problems:
        print(line)
    if problems:
        print(f"{len(problems)} problem(s) with the library graph of {table}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

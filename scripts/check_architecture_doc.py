#!/usr/bin/env python3
"""Checks that docs/architecture.md names only what exists.

Every path it mentions under one of the project's top folders (src/..., tests/..., scripts/...)
must exist, and every name it puts in backticks must still be in the code: a C++ name (`Clock`,
`SimulatorApps::shared()`, `test::FakeClock`) must occur as a word in a source file, a program or
target name with hyphens (`quorvex-shots`) in a source, CMake or script file.

Usage: check_architecture_doc.py [project-root [document]]
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
DOC = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else ROOT / "docs" / "architecture.md"
TOP_FOLDERS = ("src", "tests", "scripts", "bench", "fuzz", "resources", "docs", "cmake", ".ci")
SOURCE_FOLDERS = ("src", "tests", "bench", "fuzz", "scripts", "cmake")
SOURCE_SUFFIXES = {".h", ".cpp", ".txt", ".cmake", ".py", ".sh", ".js", ""}

PATH = re.compile(r"(?<![\w/.-])((?:%s)/[\w.+/-]*[\w+/])" % "|".join(re.escape(f) for f in TOP_FOLDERS))
BACKTICKED = re.compile(r"`([^`\n]+)`")
CPP_NAME = re.compile(r"^(?:[A-Za-z_]\w*::)*[A-Za-z_]\w*(?:\(.*\))?$")
PROGRAM_NAME = re.compile(r"^[a-z0-9]+(?:-[a-z0-9]+)+$")
# Words of the language and its library that the code need not spell for the page to be right.
STANDARD = {"std", "test", "const", "double", "int", "bool", "void", "auto"}


def source_text():
    text = []
    for folder in SOURCE_FOLDERS:
        base = ROOT / folder
        if not base.is_dir():
            continue
        for path in base.rglob("*"):
            if path.is_file() and path.suffix in SOURCE_SUFFIXES and "corpus" not in path.parts:
                try:
                    text.append(path.read_text(errors="replace"))
                except OSError:
                    pass
    return "\n".join(text)


def main():
    if not DOC.is_file():
        print(f"{DOC}: no such document")
        return 1
    text = source_text()
    words = set(re.findall(r"[A-Za-z_]\w*", text))
    problems = []
    for number, line in enumerate(DOC.read_text().splitlines(), start=1):
        for match in PATH.finditer(line):
            path = match.group(1).rstrip(".")
            if not (ROOT / path).exists():
                problems.append(f"{DOC.name}:{number}: no such path {path}")
        for match in BACKTICKED.finditer(line):
            name = match.group(1).strip()
            if CPP_NAME.match(name):
                for part in name.split("(")[0].split("::"):
                    if part not in STANDARD and part not in words:
                        problems.append(f"{DOC.name}:{number}: `{name}`: no source file names {part}")
            elif PROGRAM_NAME.match(name) and name not in text:
                problems.append(f"{DOC.name}:{number}: `{name}`: no source, CMake or script file names it")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

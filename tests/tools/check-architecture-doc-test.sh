#!/usr/bin/env bash
# The architecture document's check on a small tree: paths and names that exist pass; a missing
# path, a C++ name no source spells and a program no CMake file builds each fail and are named.
set -euo pipefail
script=$1
source "$(dirname "$0")/checker-cases.sh"
mkdir -p "$root/src/base" "$root/docs"
printf 'class Widget final {\n    static Widget& shared();\n};\n' >"$root/src/base/Widget.h"
printf 'add_executable(quorvex-tool Main.cpp)\n' >"$root/src/base/CMakeLists.txt"

check() { # check <pass|fail> <document text> [text the report must name]
  printf '%s\n' "$2" >"$root/docs/architecture.md"
  expect "$1" "${3:-}"
}

case="what exists"
check pass 'src/base/Widget.h holds `Widget::shared()` and `test::Widget`; `quorvex-tool` runs, `a shell line` is prose.'
case="a missing path"
check fail 'See src/base/Gone.h.' "no such path src/base/Gone.h"
case="a name no source spells"
check fail 'The `Widget::gone()` call.' "no source file names gone"
case="a program no file builds"
check fail 'Run `quorvex-other`.' "\`quorvex-other\`"
echo "architecture document check: all cases behave"

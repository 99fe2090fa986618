#!/usr/bin/env bash
# The architecture document's check on a small tree: paths and names that exist pass; a missing
# path, a C++ name no source spells and a program no CMake file builds each fail and are named.
set -euo pipefail
script=$1
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3 # see scripts/check-layering
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/src/base" "$root/docs"
printf 'class Widget final {\n    static Widget& shared();\n};\n' >"$root/src/base/Widget.h"
printf 'add_executable(quorvex-tool Main.cpp)\n' >"$root/src/base/CMakeLists.txt"

check() { # check <pass|fail> <document text> [text the report must name]
  printf '%s\n' "$2" >"$root/docs/architecture.md"
  if output=$("$python" "$script" "$root" 2>&1); then outcome=pass; else outcome=fail; fi
  if [ "$outcome" != "$1" ]; then
    echo "case '$case': expected $1, got $outcome: $output"
    exit 1
  fi
  if [ -n "${3:-}" ] && ! grep -qF "$3" <<<"$output"; then
    echo "case '$case': the report does not name '$3': $output"
    exit 1
  fi
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

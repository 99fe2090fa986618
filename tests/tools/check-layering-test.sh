#!/usr/bin/env bash
# The library-graph check on small trees: allowed includes pass; an include outside the graph, a
# library folder missing from the table, a CMake link list that disagrees with the table either
# way and a cycle each fail and are named.
set -euo pipefail
script=$1
source "$(dirname "$0")/checker-cases.sh"

# A tree of three libraries: base < mid (base) < top/one (base mid); <table> replaces the table.
tree() {
  rm -rf "$root/src" "$root/scripts" && mkdir -p "$root/scripts" "$root/src"
  printf '%s\n' "${1:-base:}" "${2:-mid: base}" "${3:-top/one: base mid}" >"$root/scripts/layering.txt"
  library base quorvex_base ""
  library mid quorvex_mid "quorvex_base"
  library top/one quorvex_top_one "quorvex_base quorvex_mid"
}
library() { # library <folder> <target> <linked targets>
  mkdir -p "$root/src/$1"
  printf 'add_library(%s STATIC A.cpp)\ntarget_link_libraries(%s PUBLIC %s Qt6::Core PRIVATE quorvex_warnings)\n' \
    "$2" "$2" "$3" >"$root/src/$1/CMakeLists.txt"
}
include() { mkdir -p "$(dirname "$root/src/$1")"; echo "#include \"$2\"" >"$root/src/$1"; }

case="allowed includes"; tree
include top/one/A.cpp mid/M.h; include mid/sub/B.cpp base/X.h; include base/A.cpp base/Y.h
expect pass
case="an include outside the graph"; tree; include mid/A.cpp top/one/T.h
expect fail 'src/mid/A.cpp:1: mid may not include "top/one/T.h"'
case="a library folder missing from the table"; tree; library other quorvex_other ""
expect fail "src/other: no 'other: ...' line"
case="a link the table does not give"; tree "base:" "mid:"
expect fail "src/mid/CMakeLists.txt links base"
case="a table edge CMake does not link"; tree "base:" "mid: base top/one"
expect fail "mid uses top/one, which src/mid/CMakeLists.txt does not link"
case="a cycle"; tree "base: mid" "mid: base"; library base quorvex_base "quorvex_mid"
expect fail "the graph has a cycle"
echo "layering check: all cases behave"

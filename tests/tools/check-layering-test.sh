#!/usr/bin/env bash
# The layering check on small trees: allowed includes pass; an upward include, an include of
# app/ from below, a folder missing from the table and an extension include outside its units
# each fail and are named.
set -euo pipefail
script=$1
table=$2
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3 # see scripts/check-layering
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

tree() {
  rm -rf "$root/src" && mkdir -p "$root/scripts" "$root/src"
  cp "$table" "$root/scripts/layering.txt"
  for folder in platform tools ui simulator actions storage devices network windows panel app extension; do
    mkdir -p "$root/src/$folder"
  done
}
expect() { # expect <pass|fail> <file> <include> [text the report must name]
  tree
  echo "#include \"$3\"" >"$root/src/$2"
  if output=$("$python" "$script" "$root" 2>&1); then outcome=pass; else outcome=fail; fi
  if [ "$outcome" != "$1" ]; then
    echo "src/$2 including $3: expected $1, got $outcome: $output"
    exit 1
  fi
  if [ -n "${4:-}" ] && ! grep -qF "$4" <<<"$output"; then
    echo "src/$2 including $3: the report does not name '$4': $output"
    exit 1
  fi
}

expect pass app/Main.cpp panel/DeviceHubService.h
expect pass simulator/Toast.cpp tools/ToolRunner.h
expect pass tools/ToolRunner.cpp tools/UniqueFd.h
expect pass extension/Link.h platform/Clock.h
expect pass extension/Link.h network/ThrottlePlan.h
expect pass actions/PanelDrop.h devices/PhysicalDevice.h # a listed exception
expect fail tools/ToolRunner.cpp simulator/Toast.h "src/tools/ToolRunner.cpp:1"
expect fail storage/Cleanup.cpp app/Services.h 'may not include "app/Services.h"'
expect fail actions/Other.cpp devices/PhysicalDevice.h "src/actions/Other.cpp:1"
expect fail extension/Link.h platform/SystemClock.h "platform/SystemClock.h"
expect fail extension/Link.h network/NetworkService.h "network/NetworkService.h"
tree
mkdir -p "$root/src/newpart"
if "$python" "$script" "$root" >/dev/null 2>&1; then
  echo "a folder missing from the table passed"
  exit 1
fi
echo "layering check: all cases behave"

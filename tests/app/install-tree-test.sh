#!/usr/bin/env bash
# Installs the build into a scratch root, as a package would lay it out under /usr, and checks
# what a desktop needs to list and start the program: a desktop entry that desktop-file-validate
# accepts, whose Exec and TryExec programs are installed and whose icon is in the hicolor theme,
# and the tray's themed icons, and the network daemon's systemd unit.
# Usage: install-tree-test.sh <build folder>
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "install tree: $*"; exit 1; }

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
usr=$root/usr

entries=("$usr"/share/applications/*.desktop)
[ -e "${entries[0]}" ] || fail "no desktop entry under share/applications"
[ ${#entries[@]} -eq 1 ] || fail "more than one desktop entry: ${entries[*]}"
entry=${entries[0]}
desktop-file-validate "$entry" || fail "$(basename "$entry") does not validate"

value() { sed -n "s/^$1=//p" "$entry" | head -1; }
for key in Exec TryExec; do
  program=$(value "$key" | cut -d' ' -f1)
  [ -n "$program" ] || fail "the entry has no $key"
  [ -x "$usr/bin/$program" ] || fail "$key names $program, which is not installed in bin/"
done
# The entry is named after the program's identifier, and its icon goes by the same name.
icon=$(value Icon)
[ "$icon.desktop" = "$(basename "$entry")" ] || fail "Icon=$icon differs from the entry's name"
[ -s "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no hicolor icon $icon"
for tray in quorvex-tray-symbolic quorvex-tray-active-symbolic; do
  [ -s "$usr/share/icons/hicolor/scalable/status/$tray.svg" ] || fail "no tray icon $tray"
done
for program in quorvex-network-extension quorvexctl; do
  [ -x "$usr/bin/$program" ] || fail "$program is not installed"
done
# The daemon's unit names the daemon where this prefix puts it, not where the build was configured.
unit=$usr/lib/systemd/system/quorvex-network-extension.service
[ -s "$unit" ] || fail "no systemd unit for the network daemon"
grep -qx 'ExecStart=/usr/bin/quorvex-network-extension $QUORVEX_EXTENSION_OPTIONS' "$unit" ||
  fail "the unit does not start /usr/bin/quorvex-network-extension: $(grep '^ExecStart=' "$unit")"
echo "install tree: the entry validates and everything it names is installed"

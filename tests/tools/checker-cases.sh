# Sourced by the checks' tests: runs a check script on a scratch tree and compares its outcome.
# The sourcing test sets `script` (the check) and `case` (the name of the case being tried).
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3 # see scripts/check-layering
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

expect() { # expect <pass|fail> [text the report must name]
  if output=$("$python" "$script" "$root" 2>&1); then outcome=pass; else outcome=fail; fi
  if [ "$outcome" != "$1" ]; then
    echo "case '$case': expected $1, got $outcome: $output"
    exit 1
  fi
  if [ -n "${2:-}" ] && ! grep -qF "$2" <<<"$output"; then
    echo "case '$case': the report does not name '$2': $output"
    exit 1
  fi
}

#!/usr/bin/env bash
# The network extension's figures, each beside its reference in the same run:
# - memory: the front under 2,000 idle flows and 8 non-reading targets (goal: under 64 MiB);
# - classify: classification latency with 500 live processes, beside the socket lookup alone;
# - control: the daemon under 1,000 header-only control connections from a refused user and 1,000
#   from an allowed one (goal: under 64 MB, and a root call answered within 1 s), beside the idle
#   daemon (root only; skipped otherwise);
# - pass-through: flows of an ordinary process with the daemon intercepting against no
#   interception, in alternating rounds: download throughput ratio (goal: at least 0.9) and added
#   connect latency (goal: under 0.2 ms);
# - burst: 2,000 connections opened at once by a simulator app through the daemon against the same
#   burst of an ordinary process, in alternating rounds (goal: within 3x).
# The last two run in two network namespaces made here (root only; skipped otherwise) and deleted
# on exit.
# Usage: bench/extension.sh [build folder] [memory|classify|control|pass-through|burst]...
set -euo pipefail
build=$(realpath "${1:-build/default}")
shift || true
sections=("$@")
[ ${#sections[@]} -eq 0 ] && sections=(memory classify control pass-through burst)
wants() { [[ " ${sections[*]} " == *" $1 "* ]]; }
bench="$build/bench/quorvex-extbench"
daemon="$build/src/extension/quorvex-network-extension"
echo "$(nproc) cores online, shared with other work while this runs."
wants memory && "$bench" memory --forward "$build/src/extension/quorvex-forward"
wants classify && "$bench" classify
if wants control; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "== Control socket under hostile connections: skipped (needs root to connect as other users)"
  else
    "$bench" control "$daemon"
  fi
fi
wants pass-through || wants burst || exit 0

if [ "$(id -u)" -ne 0 ] || ! command -v nft >/dev/null; then
  echo "== Daemon pass-through and bursts: skipped (needs root and nftables for network namespaces)"
  exit 0
fi
id=$$
client=qvxb-c-$id
server=qvxb-s-$id
work=$(mktemp -d)
cleanup() {
  for space in "$client" "$server"; do
    for pid in $(ip netns pids "$space" 2>/dev/null); do kill "$pid" 2>/dev/null || true; done
  done
  sleep 0.2
  ip netns del "$client" 2>/dev/null || true
  ip netns del "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$client"
ip netns add "$server"
ip -n "$client" link add qvxba$id type veth peer name qvxbb$id netns "$server"
ip -n "$client" addr add 198.18.0.1/15 dev qvxba$id
ip -n "$server" addr add 198.18.0.2/15 dev qvxbb$id
ip -n "$client" link set qvxba$id up
ip -n "$server" link set qvxbb$id up
ip -n "$client" link set lo up
ip -n "$server" link set lo up
# Rounds of thousands of connections: ports left in TIME_WAIT by the relays may be used again.
ip netns exec "$client" sysctl -qw net.ipv4.tcp_tw_reuse=1
ip netns exec "$server" "$bench" serve 9000 >/dev/null &
ip netns exec "$client" "$daemon" --socket "$work/control.sock" --state-dir "$work/state" --auto-approve >/dev/null &
for _ in $(seq 50); do [ -S "$work/control.sock" ] && break; sleep 0.1; done
sleep 0.3
in_client() { ip netns exec "$client" "$bench" "$@"; }
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

if wants pass-through; then
  plan='{"rules":[{"appBundle":"Demo.app","profileID":"3g","phases":[{"label":"slow","seconds":0,"conditions":{"downKbps":780,"upKbps":330,"downDelayMs":100,"upDelayMs":100,"packetLoss":0,"stalled":false}}]}],"blockedHosts":[]}'
  # The machine is shared: load drifts over a run. Rounds alternate no interception and the
  # daemon so both sides meet the same drift; throughput is the best round of each, connect
  # latency the median of the rounds' medians (and the worst of their p99s).
  rounds=6
  direct_rates=() through_rates=() direct_p50=() through_p50=() direct_p99=() through_p99=()
  round() {
    local rate p50 p99
    rate=$(in_client download 198.18.0.2 9000 512)
    read -r p50 p99 <<<"$(in_client connect 198.18.0.2 9000 200)"
    echo "$rate $p50 $p99"
  }
  echo "== An ordinary process through the daemon against no interception (veth, $rounds alternating rounds of 512 MiB and 200 connects)"
  for ((r = 0; r < rounds; r++)); do
    read -r rate p50 p99 <<<"$(round)"
    direct_rates+=("$rate") direct_p50+=("$p50") direct_p99+=("$p99")
    in_client tunnel "$work/control.sock" on "$plan"
    read -r rate p50 p99 <<<"$(round)"
    through_rates+=("$rate") through_p50+=("$p50") through_p99+=("$p99")
    in_client tunnel "$work/control.sock" off
    printf "  round %d: no interception %5d MB/s p50 %s ms | through daemon %5d MB/s p50 %s ms\n" $((r + 1)) \
      "${direct_rates[r]}" "${direct_p50[r]}" "${through_rates[r]}" "${through_p50[r]}"
  done
  summary() { # best rate, median p50, worst p99
    local -n rates=$1 p50s=$2 p99s=$3
    printf "%s %s %s\n" "$(printf "%s\n" "${rates[@]}" | sort -n | tail -1)" \
      "$(printf "%s\n" "${p50s[@]}" | median)" "$(printf "%s\n" "${p99s[@]}" | sort -g | tail -1)"
  }
  read -r d_rate d_p50 d_p99 <<<"$(summary direct_rates direct_p50 direct_p99)"
  read -r t_rate t_p50 t_p99 <<<"$(summary through_rates through_p50 through_p99)"
  awk -v dr="$d_rate" -v tr="$t_rate" -v d50="$d_p50" -v t50="$t_p50" -v d99="$d_p99" -v t99="$t_p99" 'BEGIN {
    ratio = tr / dr; added = t50 - d50;
    printf "  no interception   %6d MB/s   connect+echo p50 %.3f ms, p99 %.3f ms\n", dr, d50, d99;
    printf "  through daemon    %6d MB/s   connect+echo p50 %.3f ms, p99 %.3f ms\n", tr, t50, t99;
    printf "  throughput ratio %.2f (goal at least 0.9: %s), added connect latency %.3f ms (goal under 0.2 ms: %s)\n",
      ratio, ((ratio >= 0.9) ? "met" : "NOT MET"), added, ((added < 0.2) ? "met" : "NOT MET");
  }'
fi

if wants burst; then
  # The same program as a simulator app (by its path) and as an ordinary process. The app's rule
  # either shapes nothing (its flows are decided as they start and go on in the kernel) or relays
  # them through a link too wide to slow them (every flow carried by the daemon).
  app="$work/Library/Developer/CoreSimulator/Devices/5A1E/data/Containers/Bundle/Application/9C2D/Demo.app/Demo"
  mkdir -p "$(dirname "$app")"
  cp "$bench" "$app"
  rule() { echo '{"rules":[{"appBundle":"Demo.app","profileID":"bench","phases":[{"label":"bench","seconds":0,"conditions":{'"$1"'"downDelayMs":0,"upDelayMs":0,"packetLoss":0,"stalled":false}}]}],"blockedHosts":[]}'; }
  passed=$(rule '')
  relayed=$(rule '"downKbps":10000000,"upKbps":10000000,')
  rounds=5
  ordinary=() decided=() carried=()
  echo "== 2,000 connections opened at once: an ordinary process against a simulator app whose rule shapes nothing (passed) and whose rule relays it (relayed), $rounds alternating rounds"
  for ((r = 0; r < rounds; r++)); do
    in_client tunnel "$work/control.sock" on "$passed"
    ordinary+=("$(in_client burst 198.18.0.2 9000 2000)")
    decided+=("$(ip netns exec "$client" "$app" burst 198.18.0.2 9000 2000)")
    in_client tunnel "$work/control.sock" on "$relayed"
    carried+=("$(ip netns exec "$client" "$app" burst 198.18.0.2 9000 2000)")
    printf "  round %d: ordinary process %s s | app, passed %s s | app, relayed %s s\n" $((r + 1)) \
      "${ordinary[r]}" "${decided[r]}" "${carried[r]}"
  done
  in_client tunnel "$work/control.sock" off
  o=$(printf "%s\n" "${ordinary[@]}" | median)
  d=$(printf "%s\n" "${decided[@]}" | median)
  c=$(printf "%s\n" "${carried[@]}" | median)
  awk -v o="$o" -v d="$d" -v c="$c" 'BEGIN {
    printf "  median: ordinary process %.3f s; app passed %.3f s: %.1fx (goal within 3x: %s); app relayed %.3f s: %.1fx (goal within 3x: %s)\n",
      o, d, d / o, ((d <= 3 * o) ? "met" : "NOT MET"), c, c / o, ((c <= 3 * o) ? "met" : "NOT MET");
  }'
fi

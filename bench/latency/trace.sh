#!/usr/bin/env bash
# Where the time goes: runs the latency benchmark under perf with the receive and
# send system calls traced, and prints, for every thread that relays (the bare relay
# and the program's tracker thread), the time it spends in its own code between a
# datagram's receive returning and the answer's send starting, split by rate (a gap
# over 5 ms before the receive means the 100-a-second phase; the relay's process is
# named "relay"). The kernel's part (the
# wake-up on arrival and the send) is the same system calls for every road, so the
# difference between a road and the relay here is what the program itself adds.
# Needs perf (linux-perf) and permission to trace (root, or perf_event_paranoid -1).
# Usage: bench/latency/trace.sh [latency_bench arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
command -v perf >/dev/null || { echo "trace: perf is not installed (Debian package linux-perf)" >&2; exit 1; }
cmake --preset linux >/dev/null
cmake --build --preset linux --target strivovr-headless latency_bench >/dev/null
data=$(mktemp)
trap 'rm -f "$data"' EXIT
perf record -q -e syscalls:sys_exit_recvmsg -e syscalls:sys_enter_sendto -o "$data" -- \
  build/linux/bench/latency_bench --program build/linux/dist/strivovr-headless "$@" | grep '^result'
perf script -i "$data" -F comm,tid,time,event --ns 2>/dev/null | awk '
  { t = $3; sub(":", "", t); key = $1 " " $2 }
  $4 ~ /exit_recvmsg/ { phase[key] = (last[key] && t - last[key] > 0.005) ? 100 : 1000; last[key] = t; got[key] = t; next }
  $4 ~ /enter_sendto/ && got[key] { print key, phase[key], (t - got[key]) * 1e6; got[key] = 0 }' |
  sort -k1,1 -k2,2n -k3,3n -k4,4n | awk '
  { k = $1 " " $2 " " $3; v[k, ++n[k]] = $4 }
  END {
    printf "\n%-16s %8s %6s %8s %14s %12s\n", "process", "thread", "rate", "samples", "own median us", "own p90 us"
    for (k in n) if (n[k] >= 100 && k !~ /^latency_bench /) {
      split(k, f, " ")
      printf "%-16s %8s %6s %8d %14.1f %12.1f\n", f[1], f[2], f[3], n[k], v[k, int(n[k] / 2) + 1], v[k, int(n[k] * 0.9)]
    }
  }'

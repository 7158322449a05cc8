#!/usr/bin/env bash
# Builds strivovr-headless and the latency benchmark (Linux preset), runs it once
# (about 20 s; loopback only; needs UDP port 4445 free) and prints, per rate, the
# median and 99th percentile of the program's two roads against their floors, with
# the goals (median within 1.1x, 99th percentile within 1.3x): "SteamVR Hook"
# (program) against the bare relay (relay: one datagram in, one out), "VRChat OSC"
# (program_osc) against a relay that sends two datagrams a sample (relay_two), as the
# OSC output sends Horizontal before the measured Vertical.
# Usage: bench/latency/run.sh [--samples-100 N] [--samples-1000 N] [--control] [--arithmetic]
#   --control     a second relay in the program's place (the ratio then shows the machine's noise)
#   --arithmetic  adds road "arithmetic": a relay that decodes the rotation, works out the stick
#                 with the engine's own mappers and sends the hook message, and does nothing else;
#                 its ratio to the relay is what that arithmetic alone costs on this machine
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
cmake --preset linux >/dev/null
cmake --build --preset linux --target strivovr-headless latency_bench >/dev/null
results=$(mktemp)
trap 'rm -f "$results"' EXIT
build/linux/bench/latency_bench --program build/linux/dist/strivovr-headless "$@" | tee "$results"
# The first 1000-a-second block is the warm-up; the later one counts.
awk '
  /^result/ {
    for (i = 2; i <= NF; ++i) { split($i, kv, "="); f[kv[1]] = kv[2] }
    key = f["rate"]; seen[key "," f["road"]]++
    if (f["rate"] == 1000 && seen[key "," f["road"]] == 1) next
    median[key "," f["road"]] = f["median_us"]; p99[key "," f["road"]] = f["p99_us"]
    cpu[key "," f["road"]] = f["cpu_us_per_sample"]; peak[f["road"]] = f["peak_kib"]; rates[key] = 1
  }
  END {
    printf "\n%-6s %-12s %10s %10s %12s\n", "rate/s", "road", "median us", "p99 us", "cpu us/sample"
    for (r in rates) for (road in peak) printf "%-6s %-12s %10.1f %10.1f %12.2f\n", r, road, median[r "," road], p99[r "," road], cpu[r "," road]
    printf "\n"
    for (r in rates) for (other in peak) {
      if (other == "relay" || other == "relay_two") continue
      floor = other == "program_osc" ? "relay_two" : "relay"
      mr = median[r "," other] / median[r "," floor]; pr = p99[r "," other] / p99[r "," floor]
      if (other == "arithmetic") {
        printf "rate %4s/s: arithmetic/relay median ratio %.2fx, p99 ratio %.2fx (the arithmetic alone, no goal)\n", r, mr, pr
        continue
      }
      printf "rate %4s/s: %s/%s median ratio %.2fx (goal 1.10x: %s), p99 ratio %.2fx (goal 1.30x: %s)\n", r, other, floor, mr,
        (mr <= 1.10 ? "met" : "NOT met"), pr, (pr <= 1.30 ? "met" : "NOT met")
    }
    for (road in peak) printf "peak memory: %s %d KiB\n", road, peak[road]
  }' "$results"

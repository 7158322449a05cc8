#!/usr/bin/env bash
# The Windows SolarXR client (WinHTTP WebSocket) under Wine against the Linux
# solarxr_server on loopback: the feed, a prompt disconnect from a silent server,
# and the retry cycle until a server appears.
# Usage: wine_solarxr.sh <solarxr_probe.exe> <Linux solarxr_server>
set -u
probe=$1
server=$2
if [ ! -x "$server" ]; then
  echo "SKIP: the Linux test server is not built ($server); build the linux preset first"
  exit 77
fi
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; for f in "$work"/*.txt; do echo "--- $f"; cat "$f"; done; exit 1; }

start_server() {  # output file, arguments...
  local out=$1; shift
  "$server" "$@" > "$out" 2>&1 &
  pids+=($!)
}
port_of() {
  for _ in $(seq 1 100); do
    grep -q "listening on port" "$1" && break
    sleep 0.05
  done
  sed -n 's/^listening on port //p' "$1"
}

# 1. The feed: the request is accepted and the lean arrives as (b, a, heading) = (30, 0, 0).
start_server "$work/feed_server.txt" --port 0 --seconds 30 --lean 30 --lean-seconds 30
port=$(port_of "$work/feed_server.txt")
[ -n "$port" ] || fail "the feed server did not start"
wine "$probe" "$port" 50 > "$work/feed_probe.txt" 2>&1 || fail "the probe did not get 50 rotations"
grep -q "request ok" "$work/feed_server.txt" || fail "the server did not accept the request"
grep -q "status: Connected" "$work/feed_probe.txt" || fail "never connected"
grep -q "rotation Chest 30 0 0" "$work/feed_probe.txt" || fail "the lean did not arrive"
grep -q "final status: Disconnected" "$work/feed_probe.txt" || fail "wrong final status"

# 2. A server that sends nothing: disconnect still returns (bound 2 s, to catch a hang).
start_server "$work/silent_server.txt" --port 0 --seconds 30 --silent
port=$(port_of "$work/silent_server.txt")
wine "$probe" "$port" 0 > "$work/silent_probe.txt" 2>&1 || fail "the probe failed against a silent server"
grep -q "status: Connected" "$work/silent_probe.txt" || fail "never connected to the silent server"
took=$(tr -d '\r' < "$work/silent_probe.txt" | sed -n 's/^disconnect took \([0-9]*\) ms$/\1/p')
[ -n "$took" ] && [ "$took" -lt 2000 ] || fail "disconnect from a silent server took ${took:-?} ms"

# 3. No server yet: the client retries, and connects once the server is up.
port=$((20000 + RANDOM % 20000))
wine "$probe" "$port" 10 > "$work/retry_probe.txt" 2>&1 &
probe_pid=$!
pids+=($probe_pid)
for _ in $(seq 1 100); do
  grep -q "status: Disconnected. Retrying..." "$work/retry_probe.txt" && break
  sleep 0.1
done
grep -q "status: Disconnected. Retrying..." "$work/retry_probe.txt" || fail "no retry without a server"
start_server "$work/retry_server.txt" --port "$port" --seconds 30 --lean-seconds 30
wait "$probe_pid" || fail "the probe did not resume after the server came up"
grep -q "rotation Chest 30 0 0" "$work/retry_probe.txt" || fail "no feed after the retry"

echo "SolarXR under Wine: feed, disconnect from a silent server in $took ms, retry until the server is up"

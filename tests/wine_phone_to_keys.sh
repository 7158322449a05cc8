#!/usr/bin/env bash
# The phone-to-keys road with the Windows build under Wine: the key-printing
# headless program in "Keyboard" mode, phone_sim.exe leaning forward and back.
# Usage: wine_phone_to_keys.sh <strivovr-headless-keylog.exe> <phone_sim.exe>
set -u
program=$1
phone=$2
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; echo "--- program output"; cat "$work/out.txt"; exit 1; }
count() { grep -c -- "$1" "$work/out.txt"; }

appdata=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
folder=$(winepath -u "$appdata" 2>/dev/null)/StrivoVR
[ -n "$appdata" ] || { echo "FAIL: no LOCALAPPDATA in the Wine prefix"; exit 1; }
mkdir -p "$folder"
port=$((20000 + RANDOM % 20000))
printf '{"mode": "Keyboard", "tracker_source": "Phone", "check_for_updates": false, "owotrack_input_port": %d}' \
  "$port" > "$folder/usersettings.json"

cd "$work"
wine "$program" > "$work/out.txt" 2>&1 &
pid=$!
for _ in $(seq 1 200); do
  grep -q "SUCCESSFULLY listening on UDP port $port" "$work/out.txt" && break
  sleep 0.1
done
grep -q "SUCCESSFULLY listening on UDP port $port" "$work/out.txt" || fail "the phone server did not start"

wine "$phone" --port "$port" --rate 100 --seconds 2.5 --lean "0:0,0.4:25,1.4:25,1.8:0" --quiet || fail "phone_sim failed"
for _ in $(seq 1 50); do
  grep -q "\[KeyInjector\] up W" "$work/out.txt" && break
  sleep 0.1
done
downs=$(count "\[KeyInjector\] down W")
ups=$(count "\[KeyInjector\] up W")
[ "$downs" -ge 1 ] || fail "W never went down"
[ "$downs" -eq "$ups" ] || fail "W went down $downs times and up $ups times"
echo "W went down and up $downs time(s) with the lean"
rm -f "$folder/usersettings.json"

#!/bin/bash
# The whole road with the Windows programs under Wine: phone_sim.exe leans forward ->
# strivovr-headless.exe -> hook datagrams -> driver_gaitrelay.dll inside
# fake_vrserver.exe. Runs in a Wine prefix of its own (its settings file lives there).
# Usage: wine_hook_chain.sh <dist folder> <fake_vrserver.exe> [program folder]. Exit 77 = skipped.
# phone_sim.exe comes from the dist folder; strivovr-headless.exe and the driver from
# the program folder (an unpacked package), which defaults to the dist folder.
set -u
dist=$1
fake=$2
program=${3:-$1}
command -v wine >/dev/null || { echo "wine is not installed"; exit 77; }
if ss -Hlun 2>/dev/null | grep -q ':4445 '; then echo "port 4445 is in use"; exit 77; fi

work=$(mktemp -d "${TMPDIR:-/tmp}/strivo-hookchain.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap finish EXIT
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i </dev/null >/dev/null 2>&1

# A free port for the phone server (the program listens on every local address).
port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("0.0.0.0", 0)); print(s.getsockname()[1])')
settings="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/StrivoVR"
mkdir -p "$settings"
echo "{\"owotrack_input_port\": $port, \"jump_hook_button\": \"Right: A\", \"enable_steamvr_s2\": true,
  \"steamvr_threshold_2\": 80, \"steamvr_button_2\": \"Left: Trigger\"}" > "$settings/usersettings.json"

wait_for() {  # file text seconds
  for _ in $(seq 1 $(( $3 * 10 ))); do grep -qF -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

driver=$(winepath -w "$program/drivers/gaitrelay/bin/win64/driver_gaitrelay.dll" 2>/dev/null)
wine "$fake" --driver "$driver" --seconds 25 >"$work/server.log" 2>&1 </dev/null &
pids+=($!)
wait_for "$work/server.log" "running at 90 Hz" 20 || { echo "fake_vrserver did not start"; cat "$work/server.log"; exit 1; }
(cd "$work" && exec wine "$program/strivovr-headless.exe") >"$work/program.log" 2>&1 </dev/null &
pids+=($!)
wait_for "$work/program.log" "[Main] Logic initialized." 20 || { echo "the program did not start"; cat "$work/program.log"; exit 1; }
grep -qF "[SteamVR Hook] UDP Client initialized (Port 4445)" "$work/program.log" || { echo "no hook client"; exit 1; }

wine "$dist/phone_sim.exe" --port "$port" --seconds 2 --rate 60 --lean "0:0,0.3:25" --quiet </dev/null || exit 1
# The left thumbstick goes forward, then the override lapses and the real value (0) shows again.
wait_for "$work/server.log" "fake_vrserver: " 1
for _ in $(seq 1 50); do
  tr -d '\r' <"$work/server.log" >"$work/server.txt"
  forward=$(awk '$5 == "L" && $6 == "/input/thumbstick/y" && $7 > 0.3 { n++ } END { print n + 0 }' "$work/server.txt")
  released=$(awk '$5 == "L" && $6 == "/input/thumbstick/y" { last = $7 } END { print last }' "$work/server.txt")
  [ "$forward" -gt 0 ] && [ "$released" = "0.0000" ] && break
  sleep 0.1
done
grep -v ' 0.0000$' "$work/server.txt" | tail -3
if [ "$forward" -eq 0 ]; then echo "FAIL: the left thumbstick never went forward"; cat "$work/program.log"; exit 1; fi
if [ "$released" != "0.0000" ]; then echo "FAIL: the override did not lapse (last $released)"; exit 1; fi
if awk '$5 == "R" && $7 != "0.0000" { bad = 1 } END { exit !bad }' "$work/server.txt"; then
  echo "FAIL: the right controller moved"; exit 1
fi

# A jump (an upward acceleration spike) presses the configured button, then releases it.
wine "$dist/phone_sim.exe" --port "$port" --seconds 1.5 --rate 60 --accel --jump 0.7 --quiet </dev/null || exit 1
for _ in $(seq 1 50); do
  tr -d '\r' <"$work/server.log" >"$work/server.txt"
  presses=$(awk '$5 == "R" && $6 == "/input/a/click" && $7 == "1.0000" { n++ } END { print n + 0 }' "$work/server.txt")
  last=$(awk '$5 == "R" && $6 == "/input/a/click" { last = $7 } END { print last }' "$work/server.txt")
  [ "$presses" -gt 0 ] && [ "$last" = "0.0000" ] && break
  sleep 0.1
done
if [ "$presses" -eq 0 ]; then echo "FAIL: the jump never pressed Right: A"; cat "$work/program.log"; exit 1; fi
if [ "$last" != "0.0000" ]; then echo "FAIL: the jump button was not released"; exit 1; fi

# Killed while walking with the second stage holding the left trigger: nothing releases
# them but the driver's own lapses (0.5 s for the stick, 1 s for a button).
lastOf() { tr -d '\r' <"$work/server.log" | awk -v path="$1" '$5 == "L" && $6 == path { last = $7 } END { print last }'; }
wine "$dist/phone_sim.exe" --port "$port" --seconds 20 --rate 60 --lean "0:0,0.3:30" --quiet </dev/null &
pids+=($!)
for _ in $(seq 1 100); do
  [ "$(lastOf /input/trigger/click)" = "1.0000" ] && [ "$(lastOf /input/thumbstick/y)" != "0.0000" ] && break
  sleep 0.1
done
[ "$(lastOf /input/trigger/click)" = "1.0000" ] || { echo "FAIL: the second stage never held Left: Trigger"; cat "$work/program.log"; exit 1; }
program_pid=$(pgrep -f 'strivovr-headless.exe' | head -n 1)
killed=$(date +%s%N)
kill -KILL "$program_pid"
rest_ms=-1
while [ $(( ($(date +%s%N) - killed) / 1000000 )) -lt 4000 ]; do
  if [ "$(lastOf /input/trigger/click)" = "0.0000" ] && [ "$(lastOf /input/thumbstick/y)" = "0.0000" ]; then
    rest_ms=$(( ($(date +%s%N) - killed) / 1000000 )); break
  fi
  sleep 0.02
done
echo "stop path: SteamVRHook / kill under Wine: at rest after $rest_ms ms (bound 1100 ms)"
if [ "$rest_ms" -lt 0 ] || [ "$rest_ms" -gt 1100 ]; then echo "FAIL: the killed program's stick or button did not lapse in time"; exit 1; fi
echo "PASS: left thumbstick forward ($forward changes), lapsed to the real value; right controller untouched by the lean; the jump pressed and released Right: A; killed mid-walk, the driver let go of the stick and the held trigger within $rest_ms ms"

#!/usr/bin/env bash
# SlimeVR in, VRChat out, with the Windows headless program under Wine and the
# native liblo tools as peers: oscsend plays the SlimeVR server, oscdump plays VRChat.
# Usage: wine_slimevr_osc.sh <strivovr-headless.exe>
set -u
program=$1
work=$(mktemp -d)
trap 'kill "$pid" "$dump" 2>/dev/null; wait "$pid" "$dump" 2>/dev/null; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; echo "--- program output"; cat "$work/out.txt"; echo "--- VRChat saw"; cat "$work/dump.txt"; exit 1; }
# Waits up to 10 s for an extended regular expression in a file.
wait_for() {
  for _ in $(seq 1 100); do
    grep -Eq -- "$1" "$2" && return 0
    sleep 0.1
  done
  return 1
}
slimevr() { oscsend 127.0.0.1 "$osc_port" "$@" || fail "oscsend $*"; }

appdata=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
folder=$(winepath -u "$appdata" 2>/dev/null)/StrivoVR
[ -n "$appdata" ] || { echo "FAIL: no LOCALAPPDATA in the Wine prefix"; exit 1; }
mkdir -p "$folder"
osc_port=$((20000 + RANDOM % 20000))
vrchat_port=$((osc_port + 1))
printf '{"mode": "VRChat OSC", "tracker_source": "SlimeVR (OSC)", "hmd_source": "SlimeVR (OSC)", "jump_window": 1000,
 "slimevr_tap_toggle": true, "check_for_updates": false, "osc_input_port": %d, "vrchat_osc_port": %d}' \
  "$osc_port" "$vrchat_port" > "$folder/usersettings.json"

cd "$work"
oscdump -L "$vrchat_port" > "$work/dump.txt" 2>&1 &
dump=$!
wine "$program" > "$work/out.txt" 2>&1 &
pid=$!
wait_for "\[OSC\] Server started on port $osc_port" "$work/out.txt" || fail "the OSC receiver did not start"
wait_for "VRChat OSC Output initialized \(127\.0\.0\.1:$vrchat_port\)" "$work/out.txt" || fail "the VRChat output did not start"

for pitch in 30 30.5 31 31.5 32 32.5; do slimevr /tracking/trackers/1/rotation fff "$pitch" 0 0; done
wait_for "/input/Vertical f 0\.[1-9]" "$work/dump.txt" || fail "leaning forward did not walk forward"

slimevr /tracking/trackers/head/position fff 0 1.60 0
slimevr /tracking/trackers/head/position fff 0 1.85 0
wait_for "/input/Jump i 1" "$work/dump.txt" || fail "the head's rise was not a jump"
wait_for "/input/Jump i 0" "$work/dump.txt" || fail "the jump was not released"

lines=$(wc -l < "$work/dump.txt")
slimevr /user/yaw_reset
wait_for "Toggling tracking" "$work/out.txt" || fail "the reset did not toggle tracking"
sleep 0.5
tail -n +"$((lines + 1))" "$work/dump.txt" > "$work/after.txt"
grep -q "/input/Vertical f 0.000000" "$work/after.txt" || fail "stopping did not bring VRChat to rest"
! grep -Eq "/input/(Horizontal|Vertical) f -?(0\.0*[1-9]|1\.)" "$work/after.txt" || fail "something moved after the stop"
echo "lean, jump (1 then 0) and stop (zeros) reached VRChat"
rm -f "$folder/usersettings.json"

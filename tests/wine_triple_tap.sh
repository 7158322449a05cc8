#!/usr/bin/env bash
# Three taps through the Windows build under Wine: the key-printing headless program
# in "Keyboard" mode, started from the program folder so it finds audio/, and
# phone_sim.exe leaning forward with three upward spikes (the taps). Tracking must
# switch off (keys released, settings saved) with the stop sound opened and played
# by the media interface, and no sound error. An ALSA configuration with a null
# output stands in for a sound card.
# Usage: wine_triple_tap.sh <strivovr-headless-keylog.exe> <phone_sim.exe> <program folder>
set -u
program=$1
phone=$2
dist=$3
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -f "$folder/usersettings.json"; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; echo "--- program output"; cat "$work/out.txt"; exit 1; }

printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' > "$work/.asoundrc"
appdata=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
[ -n "$appdata" ] || { echo "FAIL: no LOCALAPPDATA in the Wine prefix"; exit 1; }
folder=$(winepath -u "$appdata" 2>/dev/null)/StrivoVR
mkdir -p "$folder"
port=$((20000 + RANDOM % 20000))
printf '{"mode": "Keyboard", "tracker_source": "Phone", "hmd_source": "Disabled", "check_for_updates": false,
 "owotrack_input_port": %d, "slimevr_tap_toggle": true, "slimevr_tap_axis": 1, "slimevr_tap_sensitivity": 15}' \
  "$port" > "$folder/usersettings.json"

cd "$dist" || fail "no program folder $dist"
HOME="$work" wine "$program" > "$work/out.txt" 2>&1 &
pid=$!
for _ in $(seq 1 200); do
  grep -q "SUCCESSFULLY listening on UDP port $port" "$work/out.txt" && break
  sleep 0.1
done
grep -q "SUCCESSFULLY listening on UDP port $port" "$work/out.txt" || fail "the phone server did not start"

wine "$phone" --port "$port" --seconds 1.6 --lean "0:20" --jump "0.3,0.7,1.1" --quiet || fail "phone_sim failed"
# The stop sound is opened before the save; on a machine whose GStreamer has not
# built its plugin registry yet, Wine's first MP3 open takes several seconds.
for _ in $(seq 1 300); do
  grep -q "\[Settings\] Saved to" "$work/out.txt" && break
  sleep 0.1
done
grep -q "\[INFO \] Engine: Triple-Tap detected! Toggling..." "$work/out.txt" || fail "no triple tap"
grep -q "\[Settings\] Saved to" "$work/out.txt" || fail "settings not saved after the toggle"
after=$(sed -n '/Triple-Tap detected/,$p' "$work/out.txt")
grep -q "\[KeyInjector\] up W" <<< "$after" || fail "W not released by the toggle"
grep -q "\[KeyInjector\] down" <<< "$after" && fail "a key went down while tracking was off"
grep -q "\[AudioService\]" "$work/out.txt" && fail "the stop sound could not be played"
grep -q '"deadzone"' "$folder/usersettings.json" || fail "the saved file is not the whole record"
echo "triple tap switched tracking off: keys released, stop sound played, settings saved"

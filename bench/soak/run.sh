#!/usr/bin/env bash
# Soak run (by hand, not in ./test.sh): the key-printing headless program in
# "Keyboard" mode fed by phone_sim at 1000 rotations a second, with a tracker
# drop-out of 3 s after every 20 s of leaning (the watchdog fires each time), for
# MINUTES minutes (default 10). Samples the program's resident memory every 10 s
# and checks at the end that it stayed flat, that every key that went down came
# up, and that the program stopped cleanly. Loopback only; bounded in time.
# Usage: bench/soak/run.sh [MINUTES] [build folder, default build/linux]
set -u
minutes=${1:-10}
build=${2:-build/linux}
cd "$(dirname "$0")/../.." || exit 1
program=$build/tests/strivovr-headless-keylog
phone=$build/dist/phone_sim
[ -x "$program" ] && [ -x "$phone" ] || { echo "soak: build $build first (targets strivovr-headless-keylog phone_sim)"; exit 2; }

work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/config/StrivoVR"
port=$((20000 + RANDOM % 20000))
printf '{"mode": "Keyboard", "tracker_source": "Phone", "hmd_source": "Disabled", "check_for_updates": false,
 "owotrack_input_port": %d}' "$port" > "$work/config/StrivoVR/usersettings.json"

(cd "$build/dist" && HOME="$work" XDG_CONFIG_HOME="$work/config" exec "$OLDPWD/$program") > "$work/out.txt" 2>&1 &
pid=$!
for _ in $(seq 1 100); do grep -q "listening on UDP port $port" "$work/out.txt" && break; sleep 0.1; done
grep -q "listening on UDP port $port" "$work/out.txt" || { echo "soak: the program did not start"; exit 1; }

rss() { awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null; }
end=$((SECONDS + minutes * 60))
: > "$work/rss.txt"
(
  while [ $SECONDS -lt $end ] && kill -0 "$pid" 2>/dev/null; do
    echo "$SECONDS $(rss)" >> "$work/rss.txt"
    sleep 10
  done
) &
sampler=$!
rounds=0
while [ $((SECONDS + 23)) -le $end ]; do
  "$phone" --port "$port" --rate 1000 --seconds 20 --quiet \
    --lean "0:0,4:25,8:-25,12:0,16:20,20:0" --side "0:0,6:20,12:-20,18:0" >> "$work/phone.txt" 2>&1 ||
    { echo "soak: phone_sim failed in round $rounds"; exit 1; }
  rounds=$((rounds + 1))
  sleep 3  # the tracker drops out: the watchdog releases everything
done
wait "$sampler"

kill -TERM "$pid"
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then echo "soak: FAIL the program did not stop within 5 s"; exit 1; fi
wait "$pid"; code=$?
pid=

status=0
echo "soak: $minutes min, $rounds rounds of 20 s at 1000 rotations/s with a 3 s drop-out each; exit code $code"
[ "$code" -eq 0 ] || status=1
timeouts=$(grep -c "Watchdog:" "$work/out.txt")
echo "soak: watchdog fired $timeouts times"
for key in $(grep -o "\[KeyInjector\] down [A-Za-z0-9_]*" "$work/out.txt" | awk '{print $3}' | sort -u); do
  downs=$(grep -c "\[KeyInjector\] down $key\$" "$work/out.txt")
  ups=$(grep -c "\[KeyInjector\] up $key\$" "$work/out.txt")
  echo "soak: key $key down $downs, up $ups"
  [ "$ups" -ge "$downs" ] || { echo "soak: FAIL $key was left down"; status=1; }
done
# Memory: the largest sample of the first and of the last fifth of the run.
samples=$(wc -l < "$work/rss.txt")
fifth=$(( (samples + 4) / 5 ))
first=$(head -n "$fifth" "$work/rss.txt" | awk 'BEGIN{m=0} {if ($2>m) m=$2} END{print m}')
last=$(tail -n "$fifth" "$work/rss.txt" | awk 'BEGIN{m=0} {if ($2>m) m=$2} END{print m}')
echo "soak: resident memory, largest of the first fifth $first kB, of the last fifth $last kB ($samples samples)"
# Flat: the end may exceed the start by at most 10 % (allocator noise).
[ "$last" -le $((first + first / 10)) ] || { echo "soak: FAIL memory grew"; status=1; }
[ $status -eq 0 ] && echo "soak: PASS" || echo "soak: FAIL"
exit $status

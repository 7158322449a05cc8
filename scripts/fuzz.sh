#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, clang with libFuzzer and the address and undefined
# behaviour sanitizers) in build/fuzz and runs each for a bounded time from a small
# seed corpus. Exits non-zero, naming the target and the saved input, on any finding.
#
# Usage: scripts/fuzz.sh [seconds per target, default 5]
# A saved input is replayed with: build/fuzz/<target> build/fuzz/findings/<file>
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-5}
build="$root/build/fuzz"

CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null ||
  { echo "fuzz: configure FAILED"; exit 1; }
cmake --build "$build" || { echo "fuzz: build FAILED"; exit 1; }

# Seeds: one well-formed input of each kind, so the runs start from the parsers' real paths.
seeds="$build/seeds"
rm -rf "$seeds"
targets=(owotrack_packet_fuzz hook_datagram_fuzz bridge_datagram_fuzz settings_file_fuzz osc_packet_fuzz
  solarxr_bundle_fuzz)
for target in "${targets[@]}"; do mkdir -p "$seeds/$target"; done
header='\x00\x00\x00\x00\x00\x00\x00\x01'
printf "\x00\x00\x00\x03$header" > "$seeds/owotrack_packet_fuzz/handshake"
printf "\x00\x00\x00\x01$header\x3f\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x3f\x5d\xb3\xd7" > "$seeds/owotrack_packet_fuzz/rotation"
printf "\x00\x00\x00\x04$header\x00\x00\x00\x00\x41\x1c\xcc\xcd\x00\x00\x00\x00" > "$seeds/owotrack_packet_fuzz/acceleration"
printf "\x00\x00\x00\x0d$header\x02" > "$seeds/owotrack_packet_fuzz/tap"
printf 'L 0.5000 -0.2500' > "$seeds/hook_datagram_fuzz/hand_stick"
printf 'SN:LHR-1234 BTN a ON' > "$seeds/hook_datagram_fuzz/serial_button"
printf 'R BTN joystick OFF' > "$seeds/hook_datagram_fuzz/hand_button"
printf 'SN:LHR-1234 0x1p-2 inf' > "$seeds/hook_datagram_fuzz/serial_stick"
printf 'SN:LHR-1234 OFF' > "$seeds/hook_datagram_fuzz/serial_off"
printf 'ALL OFF' > "$seeds/hook_datagram_fuzz/all_off"
printf 'SVBR\x00\x10\x40\xff\x00\x80\xff\x7f\x01\x00\x00\x00' > "$seeds/bridge_datagram_fuzz/report"
printf '{"owotrack_input_port": 6969, "mode": "SteamVR Hook", "center_offset": [1.5, 0, -2], "sensitivity": 1.25, "tracking_active": true}' \
  > "$seeds/settings_file_fuzz/settings"

printf '/tracking/trackers/1/rotation\0\0\0,fff\0\0\0\0\x3f\x80\x00\x00\x00\x00\x00\x00\x41\x20\x00\x00' \
  > "$seeds/osc_packet_fuzz/message"
printf '#bundle\0\0\0\0\0\0\0\x01\0\0\0\x14/head\0\0\0,fi\0\x3f\x80\x00\x00\x00\x00\x00\x07' \
  > "$seeds/osc_packet_fuzz/bundle"
"$build/solarxr_seed_writer" "$seeds/solarxr_bundle_fuzz" || { echo "fuzz: seed writer FAILED"; exit 1; }

status=0
mkdir -p "$build/findings"
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  log="$build/$target.log"
  # The settings file target writes and reads files on every input: it gets three slices.
  run_seconds=$seconds
  [ "$target" = settings_file_fuzz ] && run_seconds=$((seconds * 3))
  if "$build/$target" -max_total_time="$run_seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -artifact_prefix="$build/findings/$target-" "$corpus" "$seeds/$target" > "$log" 2>&1; then
    echo "fuzz: $target: no finding ($(grep -Eo '^#[0-9]+' "$log" | tail -n 1 | tr -d '#') runs in ${run_seconds} s)"
  else
    status=1
    tail -n 30 "$log"
    echo "fuzz: $target: FINDING (log $log, inputs in $build/findings/)"
  fi
done
exit $status

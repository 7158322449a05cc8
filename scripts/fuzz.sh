#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, clang with libFuzzer and the address and undefined
# behaviour sanitizers) in build/fuzz and runs each for a bounded time from a small
# seed corpus. Exits 1, naming the target and the saved input, on any finding; 2 when it cannot build or seed.
#
# Usage: scripts/fuzz.sh [seconds per target, default 5] [target...]
#        scripts/fuzz.sh --long N [target...]   N executions per target (all targets by default),
#                                               with a table row per target: executions, seconds, exec/s
# A saved input is replayed with: build/fuzz/<target> build/fuzz/findings/<file>
# FUZZ_BUILD=<folder> builds and runs in that folder instead of build/fuzz; FUZZ_MAX_SECONDS=<s>
# ends each long run after that time (the table shows the executions reached).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=
if [ "${1:-}" = --long ]; then
  runs=${2:?--long needs a number of executions}
  shift 2
else
  seconds=${1:-5}
  shift $(($# > 0 ? 1 : 0))
fi
build="${FUZZ_BUILD:-$root/build/fuzz}"  # another folder keeps a long run apart from short ones

CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null ||
  { echo "fuzz: configure FAILED"; exit 2; }
cmake --build "$build" || { echo "fuzz: build FAILED"; exit 2; }

# Seeds: one well-formed input of each kind, so the runs start from the parsers' real paths.
seeds="$build/seeds"
rm -rf "$seeds"
targets=(owotrack_packet_fuzz hook_datagram_fuzz bridge_datagram_fuzz settings_file_fuzz osc_packet_fuzz
  solarxr_bundle_fuzz update_reply_fuzz path_registry_fuzz injection_rules_fuzz relay_fuzz message_assembler_fuzz
  key_binding_fuzz endpoint_text_fuzz)
for target in "${targets[@]}"; do mkdir -p "$seeds/$target"; done
[ $# -gt 0 ] && targets=("$@")
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
printf '{"version": "0.911", "download_url": "https://example.test/get"}' > "$seeds/update_reply_fuzz/newer"
printf '{"version": "0.910"}' > "$seeds/update_reply_fuzz/current"
printf '{"config": ["/c"], "external_drivers": ["/opt/strivovr/drivers/gaitrelay"], "log": ["/l"], "runtime": ["/home/u/.steam/steam/steamapps/common/SteamVR"], "version": 1}' \
  > "$seeds/path_registry_fuzz/registry"
# An input record (left stick active at (0.5, 1.0), A held on the left), the choices, then binding paths.
printf '\x01\0\0\0\x01\0\0\0\0\0\0\x3f\0\0\x80\x3f\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x80\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x80\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x01\x02\x03\x04\0\x02\x03\xff\0\x02\x04\xff\0\x05\xff\0\x02' \
  > "$seeds/injection_rules_fuzz/record"
# Released at the end; registrations (op 5), sticks (op 1), buttons (op 2), time (op 4), frames (op 7), a raw datagram (op 0).
printf '\x01\x05\x30\x05\x32\x05\x20\x05\x21\x01\x32\x64\x07\xa2\x00\x04\x40\x07\x06\x08\x00\x00\x09L 0.5 0.5\x07\x22\x00\x07' \
  > "$seeds/relay_fuzz/sequence"
printf '\x3f\x05hello\x85world\x83one\x02ab\x80' > "$seeds/message_assembler_fuzz/pieces"
printf '\x05shift+w' > "$seeds/key_binding_fuzz/modified"
printf '\x10space' > "$seeds/key_binding_fuzz/named"
printf '127.0.0.1' > "$seeds/endpoint_text_fuzz/loopback"
printf '192.168.178.20' > "$seeds/endpoint_text_fuzz/lan"
"$build/solarxr_seed_writer" "$seeds/solarxr_bundle_fuzz" || { echo "fuzz: seed writer FAILED"; exit 2; }

status=0
mkdir -p "$build/findings"
[ -n "$runs" ] && echo "| target | executions | seconds | exec/s | findings |" && echo "|---|---|---|---|---|"
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  log="$build/$target.log"
  if [ -n "$runs" ]; then
    limit=(-runs="$runs" -print_final_stats=1)
    [ -n "${FUZZ_MAX_SECONDS:-}" ] && limit+=(-max_total_time="$FUZZ_MAX_SECONDS")
  else
    run_seconds=$seconds
    limit=(-max_total_time="$run_seconds")
  fi
  started=$(date +%s)
  if "$build/$target" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -artifact_prefix="$build/findings/$target-" "$corpus" "$seeds/$target" > "$log" 2>&1; then
    finding=none
  else
    finding="FINDING (log $log, inputs in $build/findings/)"
    status=1
    tail -n 30 "$log"
  fi
  if [ -n "$runs" ]; then
    executed=$(grep -Eo 'stat::number_of_executed_units: +[0-9]+' "$log" | grep -Eo '[0-9]+$')
    rate=$(grep -Eo 'stat::average_exec_per_sec: +[0-9]+' "$log" | grep -Eo '[0-9]+$')
    echo "| $target | ${executed:-?} | $(($(date +%s) - started)) | ${rate:-?} | $finding |"
  elif [ "$finding" = none ]; then
    echo "fuzz: $target: no finding ($(grep -Eo '^#[0-9]+' "$log" | tail -n 1 | tr -d '#') runs in ${run_seconds} s)"
  else
    echo "fuzz: $target: $finding"
  fi
done
exit $status

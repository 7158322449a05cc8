#!/usr/bin/env bash
# Damaged settings files with the Windows build under Wine: for each kind of damage
# the headless program must start, keep the original bytes as
# usersettings.json.broken (and a dated second copy on a second damaged start),
# name the copy in its log, and write the defaults (or what it could read).
# Usage: wine_damaged_settings.sh <strivovr-headless.exe>
set -u
program=$1
work=$(mktemp -d)
pid=
settings=
clean() { [ -z "$settings" ] || rm -f "$settings" "$settings".broken*; }
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; clean; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; echo "--- program output"; cat "$work/out.txt" 2>/dev/null; exit 1; }

appdata=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
[ -n "$appdata" ] || { echo "FAIL: no LOCALAPPDATA in the Wine prefix"; exit 1; }
folder=$(winepath -u "$appdata" 2>/dev/null)/StrivoVR
settings=$folder/usersettings.json

# Starts the program, waits until it runs, stops it. Bounded: 30 s per start.
run_once() {
  rm -f "$work/out.txt"
  (cd "$work" && exec wine "$program" > "$work/out.txt" 2>&1) &
  pid=$!
  for _ in $(seq 1 300); do
    grep -q "\[Main\] Logic initialized." "$work/out.txt" 2>/dev/null && break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  pid=
  grep -q "\[Main\] Logic initialized." "$work/out.txt" || fail "the program did not start ($1)"
}

# The Unix path of the copy the last start named in its log.
kept_copy() {
  local line
  line=$(grep -a "\[Settings\] The damaged file was kept as " "$work/out.txt" | head -n 1 | tr -d '\r')
  [ -n "$line" ] || return 1
  winepath -u "${line#*kept as }" 2>/dev/null
}

# The file a first start writes is the reference for "the defaults".
mkdir -p "$folder"
clean
run_once "no settings file"
cp "$settings" "$work/defaults.json" || fail "no defaults were written"

head -c $((5 * 1024 * 1024)) /dev/urandom > "$work/random.bin"
printf '{"deadzone": 7.5, "mode": "Keyboard", "key_fwd": "i",}' > "$work/comma.json"
printf '{"deadzone": 7.5, "key_fwd": "\xe9\xff"}' > "$work/latin1.json"
: > "$work/empty.json"
printf '{"owotrack_input_port": 7001, "deadzone": "x"}' > "$work/partial.json"

for damaged in comma latin1 empty random partial; do
  source=$work/$damaged.json
  [ "$damaged" = random ] && source=$work/random.bin
  clean
  copies=()
  for start in 1 2; do
    cp "$source" "$settings"
    run_once "$damaged, start $start"
    grep -q "\[Settings\] Load error: " "$work/out.txt" || fail "$damaged: no load error reported"
    copy=$(kept_copy) || fail "$damaged: the log names no kept copy"
    copies+=("$copy")
    if [ "$damaged" = partial ]; then
      grep -q '"owotrack_input_port": 7001' "$settings" || fail "$damaged: the member read before the error was lost"
      grep -q '"deadzone": 3.0' "$settings" || fail "$damaged: the bad member was not reset"
    else
      cmp -s "$settings" "$work/defaults.json" || fail "$damaged: the new file is not the defaults"
    fi
  done
  [ "${copies[0]}" = "$settings.broken" ] || fail "$damaged: first copy is ${copies[0]}"
  case "${copies[1]}" in "$settings.broken-"*) ;; *) fail "$damaged: second copy is ${copies[1]}" ;; esac
  for copy in "${copies[@]}"; do
    cmp -s "$source" "$copy" || fail "$damaged: $copy does not hold the original bytes"
  done
  echo "$damaged: kept as $(basename "${copies[0]}") and $(basename "${copies[1]}"), program started"
done

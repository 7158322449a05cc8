#!/bin/bash
# LayerSetup.exe and LayerRemover.exe from the Windows program folder under Wine, in a
# prefix of their own: the HKLM value is created, removed, and the messages and exit
# codes of every step are the ones a user sees.
# Usage: wine_layer_tools.sh <dist folder>. Exit 77 = skipped.
set -u
dist=$(realpath "$1")
command -v wine >/dev/null || { echo "wine is not installed"; exit 77; }
[ -f "$dist/api_layer/gait_xrlayer.json" ] || { echo "FAIL: the layer's manifest is not staged in $dist"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/strivo-layertools.XXXXXX")
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

key='HKLM\SOFTWARE\Khronos\OpenXR\1\ApiLayers\Implicit'
manifest="Z:$(echo "$dist/api_layer/gait_xrlayer.json" | tr / '\\')"
banner='==============================================='
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# start <name> <program> [arguments]: runs in the background, output in $work/<name>.out/.err.
start() {
  local name=$1; shift
  wine "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null &
  pids+=($!)
  eval "pid_$name=$!"
}
wait_for() {  # name text seconds
  for _ in $(seq 1 $(( $3 * 10 ))); do tr -d '\r' <"$work/$1.out" 2>/dev/null | grep -qF -- "$2" && return 0; sleep 0.1; done
  return 1
}
finish_run() {  # name expected-exit-code: waits for the run and checks its exit code
  local pid_var="pid_$1"
  wait "${!pid_var}"
  local code=$?
  [ "$code" = "$2" ] || fail "$1 exited with $code, expected $2: $(cat "$work/$1.out" "$work/$1.err")"
}
out() { tr -d '\r' <"$work/$1.out"; }
err() { tr -d '\r' <"$work/$1.err"; }
value_present() { wine reg query "$key" /v "$manifest" /reg:64 </dev/null 2>/dev/null | tr -d '\r' | grep -qF REG_DWORD; }

# No OpenXR key at all on a fresh machine.
start nothing "$dist/LayerRemover.exe"
wait_for nothing "Nothing to uninstall." 30 || fail "no 'key does not exist' line: $(out nothing)"
expected=$(printf '%s\n' "$banner" "   StrivoVR OpenXR API Layer Uninstaller" "$banner" \
  "[INFO] Unregistering layer: $manifest" "[INFO] OpenXR registry key does not exist. Nothing to uninstall.")

# LayerSetup writes the value: a DWORD 0 named by the manifest path, in the 64-bit view.
start setup "$dist/LayerSetup.exe"
wait_for setup "[SUCCESS] OpenXR API Layer registered successfully!" 30 || fail "setup: $(out setup) $(err setup)"
value_present || fail "the registry value $manifest was not created"
wine reg query "$key" /v "$manifest" /reg:64 </dev/null 2>/dev/null | tr -d '\r' | grep -qE 'REG_DWORD\s+0x0' ||
  fail "the value is not DWORD 0"

# --check without any OpenXR loader says so clearly; meanwhile a remover copied to
# another folder computes another name and leaves the value alone.
start check "$dist/LayerSetup.exe" --check
mkdir -p "$work/elsewhere"
cp "$dist/LayerRemover.exe" "$work/elsewhere/"
start stranger "$work/elsewhere/LayerRemover.exe"
finish_run check 1
err check | grep -qF "[ERROR] No OpenXR loader is installed: openxr_loader.dll could not be loaded (" ||
  fail "check: $(out check) $(err check)"
out check | grep -qF "[INFO] This program's manifest is registered: $manifest" || fail "check: $(out check)"
wait_for stranger "Closing in 5 seconds..." 30 || fail "stranger: $(out stranger)"
out stranger | grep -qF "[INFO] Layer was not registered in the registry. Done." || fail "stranger: $(out stranger)"
value_present || fail "a remover from another folder removed the value"

start remover "$dist/LayerRemover.exe"
wait_for remover "Closing in 5 seconds..." 30 || fail "remover: $(out remover) $(err remover)"
out remover | grep -qF "[SUCCESS] OpenXR API Layer unregistered successfully!" || fail "remover: $(out remover)"
value_present && fail "the value is still there after LayerRemover"
start again "$dist/LayerRemover.exe"
finish_run nothing 0
[ "$(out nothing)" = "$expected" ] || fail "unexpected output: $(out nothing)"
finish_run setup 0
finish_run stranger 0
finish_run remover 0
finish_run again 0
out again | grep -qF "[INFO] Layer was not registered in the registry. Done." || fail "second removal: $(out again)"
[ -z "$(err nothing)$(err remover)$(err again)" ] || fail "unexpected error output: $(err remover)$(err again)"

[ "$failed" = 0 ] || exit 1
echo "PASS: value created as DWORD 0, --check reports the missing loader, a stranger's removal and the second removal report 'not registered', the first removal succeeds"

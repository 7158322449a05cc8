#!/usr/bin/env bash
# The Windows package's roads under Wine: packages build/windows/dist as a user
# downloads it, unpacks the zip into a temporary folder, and runs the Wine
# whole-program tests against the unpacked programs (the stand-ins come from the
# build); then the setup program's install, upgrade and uninstall (wine_setup.sh). Needs a running Wine session (scripts/wine-env.sh: wine_start).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist="$root/build/windows/dist"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$root/scripts/package.sh" --no-build --out "$work/packages" windows > /dev/null || exit 1
# An "older" setup program for the upgrade road.
"$root/scripts/package.sh" --no-build --version 0.0.1 --out "$work/older" windows > /dev/null || exit 1
unzip -q "$work"/packages/StrivoVR-*-windows-x64.zip -d "$work" || exit 1
package=$(echo "$work"/StrivoVR-*-windows-x64)
[ -f "$package/strivovr-headless.exe" ] || { echo "wine package: no strivovr-headless.exe in the package" >&2; exit 1; }
echo "wine package: running against $package"

passed=0
failed=()
# A road that fails is run once more (its first failure stays in the log), as the
# Linux roads are: Wine's start-up of a program can stall on a loaded machine.
road() {  # name, command...
  local name=$1; shift
  if "$@" > "$work/$name.log" 2>&1; then
    passed=$((passed + 1)); echo "wine package: $name passed"
    return
  fi
  echo "wine package: $name failed once, running again"; cat "$work/$name.log"
  if "$@" > "$work/$name.log" 2>&1; then
    passed=$((passed + 1)); echo "wine package: $name passed at the second try"
  else
    failed+=("$name"); echo "wine package: $name FAILED"; cat "$work/$name.log"
  fi
}
road hook-chain bash "$root/tests/wine_hook_chain.sh" "$dist" "$root/build/windows/testing/fake_vrserver.exe" "$package"
road slimevr-osc bash "$root/tests/wine_slimevr_osc.sh" "$package/strivovr-headless.exe"
road damaged-settings bash "$root/tests/wine_damaged_settings.sh" "$package/strivovr-headless.exe"
road layer-tools bash "$root/tests/wine_layer_tools.sh" "$package"
road setup bash "$root/tests/wine_setup.sh" "$(echo "$work"/packages/StrivoVR-*-setup.exe)" \
  "$work/older/StrivoVR-0.0.1-setup.exe" "$root/build/windows/testing/record_args.exe"
echo "wine package: $passed passed, ${#failed[@]} failed ${failed[*]}"
[ ${#failed[@]} -eq 0 ]

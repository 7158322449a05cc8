#!/usr/bin/env bash
# Builds both user packages from the staged program folders, checks what each holds
# (everything a user needs, no developer tools), then unpacks the Linux one and checks
# that install.sh changes nothing when nobody answers and that strivovr-headless starts
# and stops cleanly with a fresh HOME. Exits non-zero on the first difference.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill -KILL "$program_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package check: FAILED: $*" >&2; exit 1; }

"$root/scripts/package.sh" --no-build --out "$work/out" || fail "scripts/package.sh"
version=$(sed -nE 's/^project\(StrivoVR VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
zip_file="$work/out/StrivoVR-$version-windows-x64.zip"
tar_file="$work/out/strivovr-$version-linux-x86_64.tar.gz"

common=(README.txt api_layer/gait_xrlayer.json drivers/gaitrelay/driver.vrdrivermanifest
  drivers/gaitrelay/resources/settings/default.vrsettings images/svlogo_64.png audio/start.mp3 audio/stop.mp3
  fonts/quicksand.ttf)
windows=(StrivoVR.exe strivovr-headless.exe LayerSetup.exe LayerRemover.exe api_layer/gait_xrlayer.dll
  drivers/gaitrelay/bin/win64/driver_gaitrelay.dll)
linux=(strivovr strivovr-headless LayerSetup LayerRemover install.sh strivovr.desktop api_layer/gait_xrlayer.so
  drivers/gaitrelay/bin/linux64/driver_gaitrelay.so)
developer_tools='(^|/)(phone_sim|hook_send|bridge_send)(\.exe)?$'

check_listing() {  # listing file, top folder, expected entries...
  local listing=$1 top=$2; shift 2
  local entry
  for entry in "$@"; do grep -qx "$top/$entry" "$listing" || fail "$top/$entry missing from the package"; done
  ! grep -E "$developer_tools" "$listing" || fail "a developer tool is in the package"
  ! grep -vx -e "$top" -e "$top/.*" "$listing" || fail "entries outside $top/"
}

unzip -Z1 "$zip_file" > "$work/zip.txt" || fail "cannot list $zip_file"
check_listing "$work/zip.txt" "StrivoVR-$version-windows-x64" "${common[@]}" "${windows[@]}"
tar -tzf "$tar_file" | sed 's|/$||' > "$work/tar.txt" || fail "cannot list $tar_file"
check_listing "$work/tar.txt" "strivovr-$version-linux-x86_64" "${common[@]}" "${linux[@]}"
echo "package check: $(wc -l < "$work/zip.txt") entries in $(basename "$zip_file"), $(wc -l < "$work/tar.txt") in $(basename "$tar_file")"

# The unpacked Linux package, run as a user would: fresh HOME, from its own folder.
mkdir -p "$work/home" "$work/unpacked"
tar -xzf "$tar_file" -C "$work/unpacked" || fail "cannot unpack"
folder="$work/unpacked/strivovr-$version-linux-x86_64"
for program in strivovr strivovr-headless LayerSetup LayerRemover install.sh; do
  [ -x "$folder/$program" ] || fail "$program is not executable"
done
user_env=(env -i "PATH=/usr/bin:/bin" "HOME=$work/home" "XDG_RUNTIME_DIR=$work/home")

"${user_env[@]}" bash "$folder/install.sh" < /dev/null > "$work/install.txt" 2>&1 || fail "install.sh: $(cat "$work/install.txt")"
[ -z "$(find "$work/home" -mindepth 1 -print -quit)" ] || fail "install.sh without answers wrote $(find "$work/home" -mindepth 1)"
printf 'y\nn\nn\n' | "${user_env[@]}" bash "$folder/install.sh" > "$work/install.txt" 2>&1 || fail "install.sh (menu entry)"
grep -qx "Exec=$folder/strivovr" "$work/home/.local/share/applications/strivovr.desktop" ||
  fail "the menu entry does not start $folder/strivovr"
printf 'y\nn\nn\n' | "${user_env[@]}" bash "$folder/install.sh" --uninstall > "$work/install.txt" 2>&1 || fail "install.sh --uninstall"
[ ! -e "$work/home/.local/share/applications/strivovr.desktop" ] || fail "the menu entry was not removed"

(cd "$folder" && exec "${user_env[@]}" ./strivovr-headless > "$work/out.txt" 2> "$work/err.txt") &
program_pid=$!
for _ in $(seq 1 100); do  # up to 10 s for the start-up
  grep -q "\[Main\] Logic initialized." "$work/out.txt" && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
grep -q "\[Main\] Logic initialized." "$work/out.txt" || fail "strivovr-headless did not start: $(cat "$work/out.txt" "$work/err.txt")"
kill -TERM "$program_pid"
for _ in $(seq 1 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done  # up to 5 s to stop
kill -0 "$program_pid" 2>/dev/null && fail "strivovr-headless did not stop within 5 s of SIGTERM"
wait "$program_pid"
code=$?
program_pid=""
[ "$code" -eq 0 ] || fail "strivovr-headless exited with $code: $(cat "$work/err.txt")"
[ -f "$work/home/.config/StrivoVR/usersettings.json" ] || fail "no settings file in the fresh HOME"
echo "package check: the unpacked strivovr-headless started and stopped cleanly (exit 0)"

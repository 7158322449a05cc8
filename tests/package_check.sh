#!/usr/bin/env bash
# Builds the user packages from the staged program folders, checks what each holds
# (everything a user needs, no developer tools), then unpacks the Linux one and checks
# that install.sh changes nothing when nobody answers and that strivovr-headless starts
# and stops cleanly with a fresh HOME. The Debian package must pass lintian without
# errors, hold what a player needs, install into a scratch root (never into this
# machine), run from PATH in another folder, and leave nothing behind once purged.
# The Windows setup program is run under Wine by tests/wine_setup.sh. Exits non-zero
# on the first difference.
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
deb_file="$work/out/strivovr_${version}_amd64.deb"
[ -s "$work/out/StrivoVR-$version-setup.exe" ] || fail "no Windows setup program"

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

# Starts a headless program in a folder, waits for its start-up, stops it with SIGTERM
# and expects exit code 0. Bounded: 10 s to start, 5 s to stop.
start_and_stop() {  # name, working folder, command...
  local name=$1 folder=$2 code; shift 2
  (cd "$folder" && exec "$@" > "$work/$name.out" 2> "$work/$name.err") &
  program_pid=$!
  for _ in $(seq 1 100); do
    grep -q "\[Main\] Logic initialized." "$work/$name.out" && break
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "\[Main\] Logic initialized." "$work/$name.out" || fail "$name did not start: $(cat "$work/$name.out" "$work/$name.err")"
  kill -TERM "$program_pid"
  for _ in $(seq 1 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$program_pid" 2>/dev/null && fail "$name did not stop within 5 s of SIGTERM"
  wait "$program_pid"
  code=$?
  program_pid=""
  [ "$code" -eq 0 ] || fail "$name exited with $code: $(cat "$work/$name.err")"
}

start_and_stop "strivovr-headless" "$folder" "${user_env[@]}" ./strivovr-headless
[ -f "$work/home/.config/StrivoVR/usersettings.json" ] || fail "no settings file in the fresh HOME"
echo "package check: the unpacked strivovr-headless started and stopped cleanly (exit 0)"

# The Debian package: lintian, its contents, then install, first run and purge in a
# scratch root whose package list is a copy of this machine's (so the dependencies
# are checked); its maintainer script sees DPKG_ROOT and leaves this machine alone.
lintian --fail-on error "$deb_file" > "$work/lintian.txt" 2>&1 || fail "lintian: $(cat "$work/lintian.txt")"
echo "package check: lintian found no error in $(basename "$deb_file") ($(grep -c '^[WI]:' "$work/lintian.txt") warnings and notes)"
dpkg-deb -c "$deb_file" | awk '{ print $6 ($7 == "->" ? " -> " $8 : "") }' | sed 's|^\./|/|' > "$work/deb.txt"
for entry in /usr/lib/strivovr/strivovr /usr/lib/strivovr/strivovr-headless /usr/lib/strivovr/LayerSetup \
  /usr/lib/strivovr/LayerRemover /usr/lib/strivovr/api_layer/gait_xrlayer.so \
  /usr/lib/strivovr/drivers/gaitrelay/driver.vrdrivermanifest /usr/lib/strivovr/drivers/gaitrelay/bin/linux64/driver_gaitrelay.so \
  /usr/share/strivovr/audio/start.mp3 /usr/share/strivovr/images/svlogo_64.png \
  "/usr/bin/strivovr -> ../lib/strivovr/strivovr" "/usr/bin/strivovr-headless -> ../lib/strivovr/strivovr-headless" \
  "/usr/lib/strivovr/audio -> ../../share/strivovr/audio" \
  "/usr/lib/strivovr/fonts/quicksand.ttf -> ../../../share/fonts/truetype/quicksand/Quicksand-Medium.ttf" \
  /usr/share/applications/strivovr.desktop /usr/share/icons/hicolor/64x64/apps/strivovr.png \
  /usr/lib/udev/rules.d/60-strivovr-uinput.rules /usr/lib/modules-load.d/strivovr.conf \
  /usr/share/openxr/1/api_layers/implicit.d/strivovr.json; do
  grep -qxF "$entry" "$work/deb.txt" || fail "$entry missing from the Debian package"
done
! grep -E "$developer_tools" "$work/deb.txt" || fail "a developer tool is in the Debian package"
dpkg-deb -f "$deb_file" Depends | grep -q 'libsdl2-mixer-2.0-0.*fonts-comfortaa' || fail "Depends: $(dpkg-deb -f "$deb_file" Depends)"
dpkg-deb -x "$deb_file" "$work/deb"
grep -q '"library_path": "/usr/lib/strivovr/api_layer/gait_xrlayer.so"' "$work/deb/usr/share/openxr/1/api_layers/implicit.d/strivovr.json" ||
  fail "the layer manifest does not name the packaged library"
grep -q '^KERNEL=="uinput", .*TAG+="uaccess"' "$work/deb/usr/lib/udev/rules.d/60-strivovr-uinput.rules" || fail "no uaccess rule for uinput"
[ "$(cat "$work/deb/usr/lib/modules-load.d/strivovr.conf")" = uinput ] || fail "no uinput module entry"
grep -qx 'Exec=strivovr' "$work/deb/usr/share/applications/strivovr.desktop" || fail "the menu entry does not start strivovr"
# Every link lands in the package or in a file of its dependencies (the fonts), which this machine has.
while read -r link; do
  target=$(realpath -m "$(dirname "$link")/$(readlink "$link")")
  [ -e "$target" ] || [ -e "/${target#"$work/deb/"}" ] || fail "the link ${link#"$work/deb"} leads nowhere"
done < <(find "$work/deb" -type l)

scratch="$work/scratch"
mkdir -p "$scratch/var/lib/dpkg/info" "$scratch/var/lib/dpkg/updates" "$work/elsewhere" "$work/deb-home"
cp /var/lib/dpkg/status "$scratch/var/lib/dpkg/status"
in_scratch=(dpkg --root="$scratch" --force-script-chrootless --log="$work/dpkg.log")
"${in_scratch[@]}" -i "$deb_file" > "$work/dpkg.txt" 2>&1 || fail "dpkg -i: $(cat "$work/dpkg.txt")"
[ -x "$scratch/usr/bin/strivovr-headless" ] || fail "strivovr-headless is not installed in the scratch root"
start_and_stop "the packaged strivovr-headless" "$work/elsewhere" env -i "PATH=$scratch/usr/bin:/usr/bin:/bin" \
  "HOME=$work/deb-home" "XDG_RUNTIME_DIR=$work/deb-home" strivovr-headless
[ -f "$work/deb-home/.config/StrivoVR/usersettings.json" ] || fail "the packaged program wrote no settings file"
"${in_scratch[@]}" --purge strivovr > "$work/dpkg.txt" 2>&1 || fail "dpkg --purge: $(cat "$work/dpkg.txt")"
left=$(cd "$scratch" && find . -mindepth 1 -not -path ./var -not -path ./var/lib -not -path './var/lib/dpkg*')
[ -z "$left" ] || fail "the purge left: $left"
echo "package check: the Debian package installed into a scratch root, strivovr-headless ran from PATH in another folder, the purge left nothing"

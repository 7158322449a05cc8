#!/bin/bash
# The Windows setup program under Wine in a prefix of its own. An older version is
# installed silently on a machine without SteamVR, the user's settings file is
# written, then a fake SteamVR appears (its uninstall entry naming a folder whose
# vrpathreg.exe is a recording stand-in; netsh.exe is one too) and the new version
# is installed silently over the old one. Checked: the files, the Start-menu
# shortcut, the Add/Remove entry, the layer value, the driver registration and the
# firewall rules, the kept settings, the installed headless program starting from
# another folder; then the silent uninstaller and what it leaves behind.
# Usage: wine_setup.sh <setup.exe> <older setup.exe> <record_args.exe>. Exit 77 = skipped.
set -u
command -v wine >/dev/null || { echo "wine is not installed"; exit 77; }
setup=$(realpath "$1") older=$(realpath "$2") recorder=$(realpath "$3")
version=$(basename "$setup" | sed -nE 's/^StrivoVR-(.+)-setup\.exe$/\1/p')

work=$(mktemp -d "${TMPDIR:-/tmp}/strivo-setup.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64
# No menu entries in the real home; netsh.exe from the prefix's system folder (the stand-in).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;netsh.exe=n"
unset DISPLAY
pid=""
finish() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap finish EXIT
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i </dev/null >/dev/null 2>&1

failed=0
fail() { echo "FAIL: $*"; failed=1; }
query() { wine reg query "$@" /reg:64 </dev/null 2>/dev/null | tr -d '\r'; }
key_exists() { wine reg query "$1" /reg:64 </dev/null >/dev/null 2>&1; }
drive=$WINEPREFIX/drive_c
folder="$drive/Program Files/StrivoVR"
win_folder='C:\Program Files\StrivoVR'
entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\StrivoVR'
layers='HKLM\SOFTWARE\Khronos\OpenXR\1\ApiLayers\Implicit'
manifest="$win_folder\\api_layer\\gait_xrlayer.json"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/StrivoVR.lnk"
vrpathreg="$drive/SteamVR fake/bin/win64/vrpathreg.exe"
netsh="$drive/windows/system32/netsh.exe"
cp "$recorder" "$netsh" && echo 0 > "$netsh.exit"

# The older version, without SteamVR: the driver step is skipped, the rest installs.
wine "$older" /S </dev/null >/dev/null 2>&1 || fail "the older setup exited with $?"
query "$entry" /v DisplayVersion | grep -q 'REG_SZ    0\.0\.1$' || fail "the older version is not listed"
appdata=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
settings="$(winepath -u "$appdata" 2>/dev/null)/StrivoVR/usersettings.json"
mkdir -p "$(dirname "$settings")"
port=$((20000 + RANDOM % 20000))
printf '{"mode": "Keyboard", "tracker_source": "Phone", "hmd_source": "Disabled", "check_for_updates": false, "owotrack_input_port": %d, "osc_input_port": %d}' \
  "$port" $((port + 1)) > "$settings"
cp "$settings" "$work/settings.json"
rm -f "$netsh.args"

mkdir -p "$(dirname "$vrpathreg")" && cp "$recorder" "$vrpathreg" && echo 0 > "$vrpathreg.exit"
wine reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Steam App 250820' /v InstallLocation \
  /t REG_SZ /d 'C:\SteamVR fake' /f /reg:64 </dev/null >/dev/null 2>&1 || fail "cannot add the fake SteamVR"

wine "$setup" /S </dev/null >/dev/null 2>&1 || fail "the setup exited with $?"
for file in StrivoVR.exe strivovr-headless.exe LayerSetup.exe LayerRemover.exe uninstall.exe README.txt \
  api_layer/gait_xrlayer.json api_layer/gait_xrlayer.dll drivers/gaitrelay/driver.vrdrivermanifest \
  drivers/gaitrelay/bin/win64/driver_gaitrelay.dll fonts/quicksand.ttf images/svlogo_64.png audio/start.mp3; do
  [ -f "$folder/$file" ] || fail "$file is not installed"
done
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
query "$entry" > "$work/entry.txt"
for value in "DisplayName    REG_SZ    StrivoVR" "DisplayVersion    REG_SZ    $version" "Publisher    REG_SZ    StrivoVR" \
  "DisplayIcon    REG_SZ    $win_folder\\StrivoVR.exe,0" "UninstallString    REG_SZ    \"$win_folder\\uninstall.exe\"" \
  "QuietUninstallString    REG_SZ    \"$win_folder\\uninstall.exe\" /S"; do
  grep -qxF "    $value" "$work/entry.txt" || fail "the Add/Remove entry lacks $value: $(cat "$work/entry.txt")"
done
grep -qE '^    EstimatedSize    REG_DWORD    0x[0-9a-f]{3,}$' "$work/entry.txt" || fail "no estimated size"
query "$layers" /v "$manifest" | grep -qE 'REG_DWORD\s+0x0$' || fail "no layer value DWORD 0 named $manifest"
# The old version's uninstaller took its registration away before the new one registered.
printf 'removedriver\n%s\\drivers\\gaitrelay\nadddriver\n%s\\drivers\\gaitrelay\n' "$win_folder" "$win_folder" > "$work/driver.txt"
cmp -s "$vrpathreg.args" "$work/driver.txt" || fail "vrpathreg received: $(cat "$vrpathreg.args" 2>/dev/null)"
rule() {  # name program: the delete and add calls of one program rule
  printf 'advfirewall\nfirewall\ndelete\nrule\nname=%s\n' "$1"
  printf 'advfirewall\nfirewall\nadd\nrule\nname=%s\ndir=in\naction=allow\nprogram=%s\nenable=yes\nprofile=private\n' "$1" "$2"
}
removed() { printf 'advfirewall\nfirewall\ndelete\nrule\nname=%s\n' StrivoVR_App StrivoVR_Headless; }
{ removed; rule StrivoVR_App "$win_folder\\StrivoVR.exe"; rule StrivoVR_Headless "$win_folder\\strivovr-headless.exe"; } > "$work/netsh.txt"
cmp -s "$netsh.args" "$work/netsh.txt" || fail "netsh received: $(cat "$netsh.args" 2>/dev/null)"
cmp -s "$settings" "$work/settings.json" || fail "the upgrade changed the settings file"

# The installed headless program, started from another folder, runs and stops.
(cd "$work" && exec wine "$win_folder\\strivovr-headless.exe" > "$work/out.txt" 2>&1) &
pid=$!
for _ in $(seq 1 300); do grep -q "\[Main\] Logic initialized." "$work/out.txt" && break; sleep 0.1; done
grep -q "\[Main\] Logic initialized." "$work/out.txt" || fail "the installed program did not start: $(cat "$work/out.txt")"
grep -q "\[AudioService\]\|Load error" "$work/out.txt" && fail "the installed program reported: $(cat "$work/out.txt")"
kill "$pid" 2>/dev/null
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the installed program did not stop"
pid=""

# The uninstaller copies itself away and returns at once: its copy is awaited.
wine "$win_folder\\uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the uninstaller exited with $?"
for _ in $(seq 1 120); do [ -e "$folder" ] || key_exists "$entry" || break; sleep 0.5; done
[ -e "$folder" ] && fail "left in Program Files: $(cd "$folder" && find . -mindepth 1)"
[ -e "$shortcut" ] && fail "the Start-menu shortcut is still there"
key_exists "$entry" && fail "the Add/Remove entry is still there: $(query "$entry")"
query "$layers" | grep -qF "$manifest" && fail "the layer value is still there"
printf 'removedriver\n%s\\drivers\\gaitrelay\n' "$win_folder" >> "$work/driver.txt"
cmp -s "$vrpathreg.args" "$work/driver.txt" || fail "vrpathreg received: $(cat "$vrpathreg.args")"
removed >> "$work/netsh.txt"
cmp -s "$netsh.args" "$work/netsh.txt" || fail "netsh received: $(cat "$netsh.args")"
cmp -s "$settings" "$work/settings.json" || fail "the uninstaller did not keep the settings file"

[ "$failed" = 0 ] || exit 1
echo "PASS: setup $version over 0.0.1 installed the files, shortcut, Add/Remove entry, layer value, driver and firewall rules, kept the settings; the installed program ran; the uninstaller removed all of it and kept the settings"

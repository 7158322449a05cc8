#!/usr/bin/env bash
# Sets StrivoVR up for the current user from the folder this script is in. Every step
# asks first and defaults to "no"; without a terminal to answer, nothing is changed.
#   ./install.sh              add a menu entry, register the SteamVR driver and the OpenXR layer
#   ./install.sh --uninstall  remove what the steps above added
set -uo pipefail
folder=$(cd "$(dirname "$0")" && pwd)
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
desktop_file="$data_home/applications/strivovr.desktop"

ask() {  # question; true only for an explicit yes
  local answer=""
  printf '%s [y/N] ' "$1"
  read -r answer || { echo; return 1; }
  case $answer in y|Y|yes|Yes|YES) return 0 ;; *) return 1 ;; esac
}

# SteamVR's driver registration tool: the runtime named in openvrpaths.vrpath, else Steam's usual library.
find_vrpathreg() {
  local paths="${XDG_CONFIG_HOME:-$HOME/.config}/openvr/openvrpaths.vrpath" runtime
  if [ -f "$paths" ]; then
    runtime=$(tr -d '\n' < "$paths" | sed -nE 's/.*"runtime"[[:space:]]*:[[:space:]]*\[[[:space:]]*"([^"]*)".*/\1/p')
    [ -n "$runtime" ] && [ -x "$runtime/bin/vrpathreg.sh" ] && { echo "$runtime/bin/vrpathreg.sh"; return 0; }
  fi
  [ -x "$HOME/.steam/steam/steamapps/common/SteamVR/bin/vrpathreg.sh" ] &&
    { echo "$HOME/.steam/steam/steamapps/common/SteamVR/bin/vrpathreg.sh"; return 0; }
  return 1
}

driver_step() {  # adddriver | removedriver
  local tool
  if ! tool=$(find_vrpathreg); then
    echo "SteamVR not found (no bin/vrpathreg.sh); register the driver later from the program's window."
    return 0
  fi
  "$tool" "$1" "$folder/drivers/gaitrelay" && echo "SteamVR driver: $1 done."
}

if [ "${1:-}" = "--uninstall" ]; then
  if [ -f "$desktop_file" ] && ask "Remove the StrivoVR menu entry?"; then rm -f "$desktop_file" && echo "Menu entry removed."; fi
  if ask "Remove the SteamVR driver registration of $folder/drivers/gaitrelay?"; then driver_step removedriver; fi
  if ask "Remove the OpenXR layer registration?"; then "$folder/LayerRemover"; fi
  echo "Delete the folder $folder to finish; your settings stay in ${XDG_CONFIG_HOME:-$HOME/.config}/StrivoVR."
  exit 0
elif [ $# -gt 0 ]; then
  echo "usage: ./install.sh [--uninstall]" >&2
  exit 2
fi

echo "StrivoVR in $folder"
if ask "Add StrivoVR to the applications menu ($desktop_file)?"; then
  mkdir -p "$(dirname "$desktop_file")"
  escaped=$(printf '%s' "$folder" | sed 's/[&|\\]/\\&/g')  # the folder's name taken literally by sed
  sed "s|@FOLDER@|$escaped|g" "$folder/strivovr.desktop" > "$desktop_file" && echo "Menu entry added."
fi
if ask "Register the SteamVR driver (needed for the \"SteamVR Hook\" output)?"; then driver_step adddriver; fi
if ask "Register the OpenXR layer (needed for the OpenXR output)?"; then "$folder/LayerSetup"; fi
echo "Start the program with $folder/strivovr (or strivovr-headless without a window)."

#!/usr/bin/env bash
# Builds the user packages from the program folders of both presets:
#   build/packages/StrivoVR-<version>-setup.exe          Windows installer (NSIS, packaging/windows)
#   build/packages/StrivoVR-<version>-windows-x64.zip    portable Windows folder
#   build/packages/strivovr_<version>_amd64.deb          Debian package (packaging/linux/make-deb.sh)
#   build/packages/strivovr-<version>-linux-x86_64.tar.gz portable Linux folder
# Each portable package unpacks to one folder holding the programs, the SteamVR
# driver folder, the OpenXR layer, the fonts, images and sounds, and a README; the
# Linux one adds install.sh and a .desktop file. The installers hold the same
# programs. Developer tools (phone_sim, hook_send, bridge_send) stay out.
#
# Usage: scripts/package.sh [--no-build] [--out <folder>] [--version <x.y.z>] [linux] [windows]
#   --no-build  package what build/<preset>/dist holds now (./test.sh has built it)
#   --version   name the packages with another version (the tests make an "older" setup)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/packages"
build=1
presets=()
version=""
while [ $# -gt 0 ]; do
  case $1 in
    --no-build) build=0 ;;
    --out) out=$2; shift ;;
    --version) version=$2; shift ;;
    linux|windows) presets+=("$1") ;;
    *) echo "package: unknown argument \"$1\"" >&2; exit 2 ;;
  esac
  shift
done
[ ${#presets[@]} -gt 0 ] || presets=(linux windows)

[ -n "$version" ] || version=$(sed -nE 's/^project\(StrivoVR VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no project version in CMakeLists.txt" >&2; exit 1; }

targets=(strivovr strivovr-headless LayerSetup LayerRemover driver_gaitrelay gait_xrlayer strivo_assets_audio)

# Copies the shipped part of a program folder into `stage`; fails naming what is missing.
stage_dist() {  # dist, stage, exe suffix
  local dist=$1 stage=$2 exe=$3 item
  local items=("strivovr-headless$exe" "LayerSetup$exe" "LayerRemover$exe" api_layer drivers/gaitrelay fonts images audio)
  if [ -n "$exe" ]; then items+=("StrivoVR.exe"); else items+=(strivovr); fi
  for item in "${items[@]}"; do
    [ -e "$dist/$item" ] || { echo "package: $dist/$item is missing (build the preset first)" >&2; return 1; }
    mkdir -p "$stage/$(dirname "$item")"
    cp -a "$dist/$item" "$stage/$item"
  done
  cp "$root/packaging/README.txt" "$stage/README.txt"
  # The build keeps debug information for developers; users get the programs without it.
  local strip_tool=strip
  [ -n "$exe" ] && strip_tool=x86_64-w64-mingw32-strip
  find "$stage" -type f \( -name '*.exe' -o -name '*.dll' -o -name '*.so' -o -perm -u+x \) \
    -exec "$strip_tool" --strip-debug {} +
}

mkdir -p "$out"
for preset in "${presets[@]}"; do
  if [ $build -eq 1 ]; then
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target "${targets[@]}"
  fi
  dist="$root/build/$preset/dist"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  if [ "$preset" = windows ]; then
    name="StrivoVR-$version-windows-x64"
    stage_dist "$dist" "$work/$name" .exe
    rm -f "$out/$name.zip"
    (cd "$work" && zip -qr -X "$out/$name.zip" "$name")
    echo "package: $out/$name.zip"
    # The uninstaller removes exactly the entries the setup program installs.
    (cd "$work/$name" && for entry in *; do
      if [ -d "$entry" ]; then echo "\${FOLDER} $entry"; else echo "\${ITEM} $entry"; fi
    done) > "$work/files.nsh"
    makensis -V2 -NOCD "-DVERSION=$version" "-DSTAGE=$work/$name" "-DFILES=$work/files.nsh" \
      "-DOUTFILE=$out/StrivoVR-$version-setup.exe" "$root/packaging/windows/strivovr.nsi" >/dev/null
    echo "package: $out/StrivoVR-$version-setup.exe"
  else
    name="strivovr-$version-linux-x86_64"
    stage_dist "$dist" "$work/$name" ""
    install -m 755 "$root/packaging/linux/install.sh" "$work/$name/install.sh"
    install -m 644 "$root/packaging/linux/strivovr.desktop" "$work/$name/strivovr.desktop"
    tar -C "$work" --owner=0 --group=0 --numeric-owner -czf "$out/$name.tar.gz" "$name"
    echo "package: $out/$name.tar.gz"
    "$root/packaging/linux/make-deb.sh" "$work/$name" "$version" "$out/strivovr_${version}_amd64.deb"
  fi
  rm -rf "$work"
  trap - EXIT
done

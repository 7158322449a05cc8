#!/usr/bin/env bash
# Fetches Dear ImGui's sources (Debian's source package `imgui`, the same 1.86 as
# libimgui-dev) for the Windows build, which needs imgui.cpp and the Win32 + DX11
# back-ends that only the source package carries. Uses a private apt
# configuration, so the system's package lists are not touched. Idempotent: when
# the folder is already unpacked it only prints it.
#   usage: scripts/fetch-imgui-source.sh [destination]   (prints the source folder)
set -euo pipefail

dest=${1:-${STRIVO_THIRD_PARTY:-${XDG_CACHE_HOME:-$HOME/.cache}/strivovr}/imgui-src}
if [ -f "$dest/imgui.cpp" ] && [ -f "$dest/backends/imgui_impl_win32.cpp" ]; then
  echo "$dest"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/download"

# One deb-src line for bookworm main on the machine's own Debian mirror.
mirror=$( { sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/*.sources 2>/dev/null
            sed -n 's/^deb  *\(\[[^]]*\] *\)\{0,1\}\([^ ]*\).*/\2/p' /etc/apt/sources.list \
              /etc/apt/sources.list.d/*.list 2>/dev/null; } | tr ' ' '\n' | grep -E '/debian/?$' | head -n 1 || true)
mirror=${mirror:-http://deb.debian.org/debian}
echo "deb-src ${mirror%/} bookworm main" >"$work/sources.list"

apt_opts=(-q -o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o APT::Sandbox::User=root)
apt-get "${apt_opts[@]}" update >&2
(cd "$work/download" && apt-get "${apt_opts[@]}" source --download-only imgui >&2)

orig=$(ls "$work"/download/imgui_*.orig.tar.* | head -n 1)
mkdir -p "$work/unpacked"
tar -xf "$orig" -C "$work/unpacked"
top=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d | head -n 1)
[ -f "$top/imgui.cpp" ] || { echo "fetch-imgui-source: imgui.cpp not found in $orig" >&2; exit 1; }
grep -q 'IMGUI_VERSION *"1.86' "$top/imgui.h" || { echo "fetch-imgui-source: not version 1.86" >&2; exit 1; }

mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$top" "$dest"
echo "$dest"

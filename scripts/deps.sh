#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test StrivoVR
# for Linux and Windows (mingw-w64 + Wine). Safe to run again: when everything is
# present it only checks and returns.
set -euo pipefail

packages=(
  # build (ccache: optional compiler cache, used when present)
  cmake ninja-build g++ pkg-config ccache
  # the formatter that ./test.sh checks every C++ file with
  clang-format
  # the fuzz build (clang with libFuzzer and the sanitizers' run-time)
  clang libclang-rt-14-dev
  # the user packages (zip for the Windows one; unzip lists it in the package check), the Windows
  # setup program (makensis) and the Debian package (dpkg-shlibdeps for its dependencies, lintian)
  zip unzip nsis dpkg-dev lintian
  # Windows cross build and its test runner
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
  # libraries
  nlohmann-json3-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsdl2-dev libsdl2-mixer-dev libimgui-dev libstb-dev libxtst-dev libx11-dev
  libflatbuffers-dev flatbuffers-compiler libcurl4-openssl-dev libboost-dev
  libopenxr-dev libopenxr-loader1
  # the Khronos core validation layer, stacked below ours in the layer tests
  openxr-layer-corevalidation
  # the window's fonts (staged into the program folder under the names it loads)
  fonts-quicksand fonts-comfortaa
  # test tools: virtual display, sound synthesis, OSC peers
  xvfb xauth libgl1-mesa-dri sox libsox-fmt-mp3 lame liblo-tools
  # a stand-in /dev/uinput that records the ioctls and events of the virtual keyboard and pad
  umockdev libumockdev-dev
  # the HTTPS server (openssl s_server) and certificates of the update check's test
  openssl
  # Wine plays the MP3 feedback sounds through the media interface, which decodes with GStreamer
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "deps: all present"
fi

# Dear ImGui's sources for the Windows build (outside git; see the script).
"$(dirname "$0")/fetch-imgui-source.sh" >/dev/null

#!/usr/bin/env bash
# Installs what is missing, builds the Linux program and starts it from its
# program folder (build/linux/dist): the window when a display exists, else the
# headless runner. Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
cd build/linux/dist
if [ -x ./strivovr ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec ./strivovr "$@"
fi
exec ./strivovr-headless "$@"

#!/bin/sh
# Makes the README's pictures of the Main, Input and Status tabs: runs the real
# Linux program under Xvfb (through the GUI smoke test) and keeps half-size
# copies of its screenshots in docs/.
set -eu
cd "$(dirname "$0")/.."
cmake --preset linux >/dev/null
cmake --build --preset linux --target strivovr gui_smoke_test
STRIVO_README_SHOTS="$PWD/docs" ctest --preset linux -R 'GuiSmoke.LinuxProgram' --output-on-failure
ls -l docs/main-tab.png docs/input-tab.png docs/status-tab.png

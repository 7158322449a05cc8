#!/bin/sh
# Makes the README's pictures of the Main, Input, Jump and Status tabs and of a
# calibration step: runs the real Linux program under Xvfb (through the GUI
# smoke test, which feeds it a leaning and jumping phone), waits until the
# window has settled, and keeps half-size copies of its screenshots in docs/.
set -eu
cd "$(dirname "$0")/.."
cmake --preset linux >/dev/null
cmake --build --preset linux --target strivovr phone_sim gui_smoke_test
STRIVO_README_SHOTS="$PWD/docs" ctest --preset linux -R 'GuiSmoke.LinuxProgram' --output-on-failure
ls -l docs/main-tab.png docs/input-tab.png docs/jump-tab.png docs/status-tab.png docs/calibration.png

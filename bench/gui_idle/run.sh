#!/usr/bin/env bash
# Idle cost of the window (by hand, not in ./test.sh): starts the Linux program
# `strivovr` on its own Xvfb display with fresh settings and no tracker sending
# (phone port on a random free-looking port, update check off), lets it settle,
# then reports the CPU time (user + system, all threads, from /proc/<pid>/stat)
# the process used over SECONDS seconds (default 10) as a share of one core.
# Usage: bench/gui_idle/run.sh [SECONDS] [build folder, default build/linux]
set -u
seconds=${1:-10}
build=${2:-build/linux}
cd "$(dirname "$0")/../.." || exit 1
program=$build/dist/strivovr
[ -x "$program" ] || { echo "gui_idle: build $build first (target strivovr)"; exit 2; }
command -v Xvfb >/dev/null || { echo "gui_idle: Xvfb missing"; exit 2; }

work=$(mktemp -d)
pid=
xpid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; [ -n "$xpid" ] && kill "$xpid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/config/StrivoVR"
port=$((20000 + RANDOM % 20000))
printf '{"tracker_source": "Phone", "hmd_source": "Disabled", "check_for_updates": false, "owotrack_input_port": %d}' \
  "$port" > "$work/config/StrivoVR/usersettings.json"

Xvfb -displayfd 3 -screen 0 1400x1100x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xpid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "gui_idle: Xvfb did not start"; exit 1; }
display=":$(head -n1 "$work/display")"

(cd "$build/dist" && DISPLAY="$display" HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work" \
  SDL_AUDIODRIVER=dummy exec "$OLDPWD/$program") > "$work/out.txt" 2>&1 &
pid=$!
sleep 5  # start-up, first frames, fonts
kill -0 "$pid" 2>/dev/null || { echo "gui_idle: the program stopped"; cat "$work/out.txt"; exit 1; }

ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "gui_idle: %.2f s of CPU in %d s = %.1f %% of a core\n", t / hz, s, 100 * t / hz / s }'

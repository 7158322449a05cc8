#!/usr/bin/env bash
# Fails, naming each line, when a file includes a room it must not reach:
#   platform/, common/     nothing of app/
#   app/core/              nothing of app/ outside app/core/
#   app/engine/            nothing of app/tracking/ (and the reverse); neither reaches
#                          app/system/, app/gui/ or the composition root (app/*.h)
#   app/outputs/           nothing of app/engine/, app/tracking/, app/system/, app/gui/
#   app/system/            nothing of app/gui/
# Tests (*_test.*) may cross rooms. Run it from anywhere: scripts/check-includes.sh
set -uo pipefail
cd "$(dirname "$0")/.."

# room (a path prefix) and the include prefixes it must not use
rules=(
  "platform/|app/"
  "common/|app/"
  "app/core/|app/engine/ app/tracking/ app/outputs/ app/system/ app/gui/ app/application"
  "app/engine/|app/tracking/ app/system/ app/gui/ app/application"
  "app/tracking/|app/engine/ app/outputs/ app/system/ app/gui/ app/application"
  "app/outputs/|app/engine/ app/tracking/ app/system/ app/gui/ app/application"
  "app/system/|app/gui/ app/application"
)

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print | sed 's#^\./##')
fi

bad=0
for file in "${files[@]}"; do
  [ -f "$file" ] || continue
  case "$file" in *_test.cpp | *_test.h) continue ;; esac
  for rule in "${rules[@]}"; do
    room=${rule%%|*}
    [[ "$file" == "$room"* ]] || continue
    for banned in ${rule#*|}; do
      while IFS= read -r hit; do
        echo "include direction: $file:$hit (${room} must not include ${banned})"
        bad=1
      done < <(grep -n "^#include \"${banned}" "$file")
    done
  done
done

if [ "$bad" -ne 0 ]; then exit 1; fi
echo "include direction: ok (${#files[@]} files)"

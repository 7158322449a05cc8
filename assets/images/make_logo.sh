#!/usr/bin/env bash
# Draws the program's 64-pixel logo (svlogo_64.png) and the Windows icon made from
# it (strivovr.ico) with ImageMagick. The committed files were made with this.
set -euo pipefail
cd "$(dirname "$0")"
convert-im6.q16 -size 64x64 xc:none \
  -fill '#1b212d' -stroke '#334155' -strokewidth 3 -draw 'roundrectangle 2,2 61,61 14,14' \
  -fill '#e98725' -stroke none -draw 'circle 32,20 32,13' \
  -stroke '#e98725' -strokewidth 6 -draw 'line 32,28 32,42' \
  -draw 'line 32,42 22,54' -draw 'line 32,42 44,52' \
  -stroke '#38bdf8' -strokewidth 4 -draw 'line 14,46 24,36' -draw 'line 50,36 42,30' \
  -define png:exclude-chunks=date,time svlogo_64.png
convert-im6.q16 svlogo_64.png -define icon:auto-resize=64,48,32,16 strivovr.ico

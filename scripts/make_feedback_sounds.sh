#!/usr/bin/env bash
# Makes the two feedback sounds in assets/audio/ (committed; run again only to
# change them). Needs sox and lame (Debian packages of the same names).
#   start.mp3: two short rising tones (locomotion resumed)
#   stop.mp3:  two short falling tones (locomotion paused)
# 48 kHz mono, about 0.3 s each.
set -euo pipefail
out="$(cd "$(dirname "$0")/.." && pwd)/assets/audio"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

tone() {  # tone <file> <frequency> <seconds>
  sox -n -r 48000 -c 1 -b 16 "$1" synth "$3" sine "$2" fade q 0.01 "$3" 0.03 gain -3
}

make_sound() {  # make_sound <name> <first Hz> <second Hz>
  tone "$work/a.wav" "$2" 0.12
  tone "$work/b.wav" "$3" 0.16
  sox -n -r 48000 -c 1 -b 16 "$work/gap.wav" trim 0 0.02
  sox "$work/a.wav" "$work/gap.wav" "$work/b.wav" "$work/$1.wav"
  lame --quiet -m m -b 64 --resample 48 "$work/$1.wav" "$out/$1.mp3"
}

make_sound start 660 990
make_sound stop 990 660
ls -l "$out"

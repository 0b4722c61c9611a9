#!/usr/bin/env bash
# Makes a fuzz target's seed corpus from the test fixture generators:
#   fuzz/make_seeds.sh FORMAT OUT_DIR      (FORMAT: bmp, or any format with a
#                                           tests/fixtures/make_<format>.py)
# Every generated file becomes a few seeds, each with the five setup bytes in front: the
# flags word (little-endian) and the screen byte (mod 3: true colour, palette, 16 colours).
set -euo pipefail
format=$1
out=$2
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 "$here/tests/fixtures/make_$format.py" "$work"
mkdir -p "$out"
# flags, screen: plain; reduced on a palette and a 16-colour screen; forced to 8 bits;
# nearest colour with a mask request; reduced with one allocation failing (screen 3*7+2).
setups=("00000000 00" "20000000 01" "20000000 02" "00000100 02" "20204000 00" "20000000 17")
for f in "$work"/*; do
  [ -f "$f" ] || continue
  i=0
  for s in "${setups[@]}"; do
    name="$out/$(basename "$f").$i"
    { /usr/bin/python3 -c "import sys; sys.stdout.buffer.write(bytes.fromhex(sys.argv[1]))" "${s// /}"; cat "$f"; } >"$name"
    i=$((i + 1))
  done
done
echo "$(ls "$out" | wc -l) seeds in $out"

#!/usr/bin/python3
"""Seed corpora for the GIF writer and splitter targets, from the GIF test fixtures.

usage: make_seeds.py TARGET OUT_DIR     (TARGET: gif_roundtrip or gif_split)

Every .gif that tests/fixtures/make_gif.py writes becomes a few seeds, each with the five
setup bytes in front. gif_roundtrip reads them as the other load targets do (the flags
word, little-endian, then the screen byte mod 3: true colour, palette, 16 colours);
gif_split takes its frame limit from the first byte (mod 10, less 2)."""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
MAKE_GIF = os.path.join(HERE, "..", "tests", "fixtures", "make_gif.py")

REPORT_TRANSPARENT = 0x8000
IMAGE_AND_MASK = 0x2000
REDUCE = 0x20
FIRST_FRAME_ONLY = 0x4000

SETUPS = {
    # plain; transparency reported; image and mask; reduced to 16 colours (4-bit results);
    # reduced on a palette screen; first frame only
    "gif_roundtrip": [
        (0, 0),
        (REPORT_TRANSPARENT, 0),
        (IMAGE_AND_MASK | REPORT_TRANSPARENT, 1),
        (REDUCE, 2),
        (REDUCE | REPORT_TRANSPARENT, 1),
        (FIRST_FRAME_ONLY, 0),
    ],
    # no limit; one frame ("_flat"); three frames
    "gif_split": [(0, 0), (3, 0), (5, 0)],
}


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in SETUPS:
        sys.exit(__doc__)
    target, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([sys.executable, MAKE_GIF, work], check=True)
        count = 0
        for name in sorted(os.listdir(work)):
            if not name.endswith(".gif"):
                continue
            with open(os.path.join(work, name), "rb") as f:
                data = f.read()
            for i, (flags, screen) in enumerate(SETUPS[target]):
                with open(os.path.join(out, f"{name}.{i}"), "wb") as f:
                    f.write(struct.pack("<IB", flags, screen) + data)
                count += 1
    print(f"{count} seeds in {out}")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the bundled sample: three small synthetic terrain tiles as XYZ point files.

Each tile is a full lattice (5 m spacing, projected metres, north row first, west to east),
blank separated with CR LF line ends and a comment line on top. Heights are smooth hills and
valleys given to the centimetre. Deterministic: run it again and the files come out the same.

    python3 scripts/make_examples.py [OUT_DIR]     (default: examples/ beside this script)
"""
import math
import os
import sys

SPACING = 5.0


def ridge(u, v):
    """A ridge running south-west to north-east with a saddle."""
    along = (u + v) / 2
    across = (u - v) * 2.2
    return 610 + 95 * math.exp(-across * across) * (0.75 + 0.25 * math.cos(along * 7)) + 12 * v


def valley(u, v):
    """A river valley winding north to south between two slopes."""
    bend = 0.5 + 0.18 * math.sin(v * 5.5)
    return 340 + 140 * (u - bend) ** 2 + 18 * math.sin(u * 9) * math.cos(v * 4) + 25 * v


def twin_hills(u, v):
    """Two rounded hills of different height on a gently tilted plain."""
    def hill(cu, cv, height, width):
        return height * math.exp(-((u - cu) ** 2 + (v - cv) ** 2) / width)
    return 205 + 30 * u + hill(0.3, 0.4, 68, 0.045) + hill(0.72, 0.62, 44, 0.03)


# name, surface, columns, rows, west x, north y
TILES = [
    ("north_ridge.xyz", ridge, 48, 36, 487250.0, 5413175.0),
    ("river_valley.xyz", valley, 40, 30, 487490.0, 5413175.0),
    ("twin_hills.xyz", twin_hills, 60, 50, 487250.0, 5412995.0),
]


def write_tile(path, surface, ncols, nrows, west, north):
    lines = ["# x y z: easting, northing, height in metres (5 m lattice)"]
    for row in range(nrows):
        for col in range(ncols):
            z = surface(col / (ncols - 1), row / (nrows - 1))
            lines.append("%.1f %.1f %.2f" % (west + col * SPACING, north - row * SPACING, z))
    with open(path, "w", newline="") as out:
        out.write("\r\n".join(lines) + "\r\n")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "examples")
    os.makedirs(out_dir, exist_ok=True)
    for name, surface, ncols, nrows, west, north in TILES:
        write_tile(os.path.join(out_dir, name), surface, ncols, nrows, west, north)


if __name__ == "__main__":
    main()

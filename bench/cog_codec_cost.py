#!/usr/bin/python3
"""cog_codec_cost: how much of a tile's COGs is their compression. Writes a GRID and its slope
GRID as COGs through GDAL's COG driver with the settings of engine/cog_writer.cpp (256 x 256
tiles, overviews of every fourth cell built in memory first, DEFLATE at level 1, predictor 2 for
heights), then with no compression and with ZSTD at level 1 for comparison, and prints the CPU
milliseconds each takes (the best of ROUNDS rounds of REPEATS writes) and the file's size.

  usage: bench/cog_codec_cost.py GRID SLOPE_GRID [ROUNDS REPEATS]
Needs the system's Python with GDAL's bindings (python3-gdal)."""
import os
import resource
import sys
import tempfile

from osgeo import gdal

gdal.UseExceptions()


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def in_memory(path):
    cells = gdal.Translate("", path, format="MEM")
    cells.BuildOverviews("NEAREST", [4])
    return cells


def cost(cells, options, out, rounds, repeats):
    driver = gdal.GetDriverByName("COG")
    best = float("inf")
    for _ in range(rounds):
        start = cpu_seconds()
        for _ in range(repeats):
            written = driver.CreateCopy(out, cells, options=options)
            del written  # closing flushes the last tiles
        best = min(best, (cpu_seconds() - start) / repeats)
    return best * 1000, os.path.getsize(out)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    repeats = int(sys.argv[4]) if len(sys.argv) > 4 else 10
    codecs = [("deflate (ours)", ["COMPRESS=DEFLATE", "LEVEL=1"]),
              ("none", ["COMPRESS=NONE"]),
              ("zstd", ["COMPRESS=ZSTD", "LEVEL=1"])]
    totals = {}
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "cost.tif")
        for kind, path in (("heights", sys.argv[1]), ("slope", sys.argv[2])):
            cells = in_memory(path)
            for name, options in codecs:
                predictor = ["PREDICTOR=2"] if kind == "heights" and name != "none" else []
                ms, size = cost(cells, options + predictor + ["BLOCKSIZE=256"], out, rounds,
                                repeats)
                totals[name] = totals.get(name, 0) + ms
                print(f"cog cost  {kind:7s}  {name:14s}  {ms:6.1f} ms CPU  {size:9d} bytes")
    for name, ms in totals.items():
        print(f"cog cost  both     {name:14s}  {ms:6.1f} ms CPU a tile")
    print(f"cog cost  compression alone (ours): "
          f"{totals['deflate (ours)'] - totals['none']:.1f} ms CPU a tile")


if __name__ == "__main__":
    main()

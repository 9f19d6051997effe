#!/usr/bin/env python3
"""Benchmark of gzip decoders on the large .tar.gz of seek_points_bench.py:
zlib (through Python's zlib module, in pieces of 1 MiB, as a reader decodes),
ISA-L's inflater (its `igzip -dc`, Debian's package isal), the plug-in
library's own gzip decoder (`7z e -so`), and `gzip -dc`, side by side in one
run, each the best of three. It chooses nothing; it gives the figures behind
the choice of decoder for the seek points.

    python3 bench/inflate_bench.py [FOLDER] [--size BYTES]
"""
import argparse
import os
import shutil
import subprocess
import sys
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import seek_points_bench  # noqa: E402


def zlib_decode(path):
    decoder = zlib.decompressobj(wbits=31)
    total = 0
    with open(path, "rb") as f:
        while piece := f.read(1 << 20):
            total += len(decoder.decompress(piece))
    return total


def command_decode(command):
    """Decodes into /dev/null, so that no pipe is timed; the size is zlib's."""
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return None


def best_of_three(decode):
    best, size = None, None
    for _ in range(3):
        start = time.perf_counter()
        size = decode()
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
    return best, size


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder", nargs="?", default="/tmp/vorsel-seek-points-bench")
    parser.add_argument("--size", type=int, default=300 * 1000 * 1000)
    options = parser.parse_args()
    os.makedirs(options.folder, exist_ok=True)
    archive = seek_points_bench.made_tarball(options.folder, options.size, "gzip")
    decoders = [("zlib", lambda: zlib_decode(archive))]
    if shutil.which("igzip"):
        decoders.append(("ISA-L (igzip -dc)", lambda: command_decode(["igzip", "-dc", archive])))
    decoders.append(("plug-in library (7z e -so)", lambda: command_decode(["7z", "e", "-so", "-tgzip", archive])))
    decoders.append(("gzip -dc", lambda: command_decode(["gzip", "-dc", archive])))
    print(f"{archive}: {os.path.getsize(archive) / 1e6:.1f} MB", flush=True)
    figures = [(name, *best_of_three(decode)) for name, decode in decoders]
    _, reference, decoded = figures[0]
    print(f"  decoded size {decoded} bytes")
    for name, took, _ in figures:
        print(f"  {name:28} {took:6.2f} s  {decoded / took / 1e6:7.1f} MB/s  {took / reference:5.2f}x zlib", flush=True)


if __name__ == "__main__":
    main()

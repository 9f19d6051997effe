#!/usr/bin/env python3
"""Benchmark of a compressed tarball: a 300 MB source tree as .tar.xz.

    python3 bench/tarball_bench.py [FOLDER] [--project DIR]

Makes (once, deterministically) a tree of C-like source files, about 300 MB, as
one tar compressed with `xz -3` (one xz block, as a plain `xz` makes it), then
prints: seconds from starting vorsel to its whole listing against `tar -tJf`
on the same file, and one item served afterwards against `tar -xJOf ARCHIVE
ITEM`. Run it by hand from a Release build (build-release/ of the project); it
is not a test.
"""
import argparse
import io
import os
import random
import subprocess
import sys
import tarfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import serving_bench  # noqa: E402

TOTAL = 300 * 1000 * 1000
ITEM = "src/module117/part_0042.c"  # a file in the middle of the tree

WORDS = ("static int unsigned const char void return if else for while struct size_t buffer "
         "length index count value result error state next prev node list item data offset "
         "memcpy malloc free assert uint32_t uint64_t read write open close flags mode").split()


def line_pool(rng):
    """Lines of C-like text that files are made of (drawn once: making 300 MB line
    by line would take longer than the benchmark)."""
    lines = []
    for _ in range(50000):
        depth = rng.randint(0, 3)
        words = rng.choices(WORDS, k=rng.randint(2, 9))
        lines.append("    " * depth + " ".join(words) + rng.choice((";", " {", "}", ";", ");", " = 0;")) + "\n")
    return "".join(lines).encode()


def source_file(rng, pool, size):
    """About `size` bytes: a header comment of its own, then a stretch of the pool."""
    start = rng.randrange(0, len(pool) - size)
    start = pool.index(b"\n", start) + 1
    return f"/* {rng.getrandbits(64):016x} */\n".encode() + pool[start:start + size]


def make_tarball(path):
    rng = random.Random(2024)
    pool = line_pool(rng)
    written = 0
    with open(path + ".tmp", "wb") as raw:
        xz = subprocess.Popen(["xz", "-3", "-T1", "-c"], stdin=subprocess.PIPE, stdout=raw)
        with tarfile.open(fileobj=xz.stdin, mode="w|", format=tarfile.GNU_FORMAT) as tar:
            module = 0
            while written < TOTAL:
                for part in range(80):
                    data = source_file(rng, pool, rng.randint(2000, 60000))
                    info = tarfile.TarInfo(f"src/module{module:03d}/part_{part:04d}.c")
                    info.size = len(data)
                    info.mtime = 1700000000
                    tar.addfile(info, io.BytesIO(data))
                    written += len(data)
                module += 1
        xz.stdin.close()
        if xz.wait() != 0:
            raise RuntimeError("xz failed")
    os.rename(path + ".tmp", path)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder", nargs="?", default="/tmp/vorsel-tarball-bench")
    parser.add_argument("--project", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    options = parser.parse_args()
    os.makedirs(options.folder, exist_ok=True)
    archive = os.path.join(options.folder, "source.tar.xz")
    if not os.path.exists(archive):
        print("making", archive, flush=True)
        make_tarball(archive)
    print(f"{archive}: {os.path.getsize(archive) / 1e6:.1f} MB")

    tar_list = serving_bench.timed(["tar", "-tJf", archive])
    started = time.perf_counter()
    with serving_bench.vorsel(options.project, archive) as (_, port):
        status, _ = serving_bench.http_get(port, "/ArchiveContent")
        listed = time.perf_counter() - started
        if status != 200:
            raise RuntimeError(f"listing: status {status}")
        expected = subprocess.run(["tar", "-xJOf", archive, ITEM], capture_output=True, check=True).stdout
        _, item = serving_bench.fetch(port, "/ArchiveContent/" + ITEM, len(expected))
    tar_item = serving_bench.timed(["tar", "-xJOf", archive, ITEM])
    print(f"first listing: vorsel {listed:.2f} s, tar -tJf {tar_list:.2f} s")
    print(f"one item ({len(expected)} bytes) afterwards: vorsel {item * 1000:.1f} ms, tar -xJOf {tar_item:.2f} s")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Benchmark of solid archives: photos in one solid 7z block against the 7z tool.

    python3 bench/solid_bench.py [FOLDER] [--project DIR] [--cache-bytes N]

Makes (once, deterministically) 300 photo-like items of 0.5 to 2 MB in one solid
7z block and the same as a zip, then prints, side by side in one run: the first
request of image 300 against `7z e -so` for it; images 299 down to 290 one after
another; image 150 after them; all 300 requested by 6 clients at once against
`7z t` of the whole archive; and the server's peak memory against the cache
budget plus 64 MiB. Run it by hand from a Release build (scripts/serving_bench.sh
builds one); it is not a test.
"""
import argparse
import concurrent.futures
import datetime
import os
import random
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_archives  # noqa: E402
import serving_bench  # noqa: E402

MIB = serving_bench.MIB
COUNT = 300


def name_of(number):
    return f"img{number:03d}.jpg"


def write_photos(source):
    # Photos are compressed already: mostly noise, with a little structure.
    rng = random.Random(300)
    for number in range(1, COUNT + 1):
        size = rng.randint(MIB // 2, 2 * MIB)
        with open(os.path.join(source, name_of(number)), "wb") as f:
            f.write(b"\xff\xd8\xff\xe0" + rng.randbytes(size - 4))


def vorsel(project, archive, cache_bytes):
    return serving_bench.vorsel(project, archive, None if cache_bytes is None else {"VORSEL_CACHE_BYTES": str(cache_bytes)})


def url_of(port, number):
    return f"http://127.0.0.1:{port}/ArchiveContent/{name_of(number)}"


def get_seconds(port, number):
    """Seconds curl takes to GET the image whole (a failure stops the run)."""
    output = subprocess.run(["curl", "-s", "-f", "-o", "/dev/null", "-w", "%{time_total}", url_of(port, number)],
                            capture_output=True, text=True, check=True).stdout
    return float(output)


def get_all(port, numbers):
    """One client's GETs of the images, one after another, by one curl."""
    command = ["curl", "-s", "-f"]
    for number in numbers:
        command += ["-o", "/dev/null", url_of(port, number)]
    subprocess.run(command, check=True)


def default_budget():
    """The server's cache budget when none is set: an eighth of memory, at most 2 GiB."""
    with open("/proc/meminfo") as f:
        total = int(re.search(r"MemTotal:\s+(\d+) kB", f.read())[1]) * 1024
    return min(total // 8, 2 << 30)


def best_of(runs, measure):
    return min(measure() for _ in range(runs))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", nargs="?", default="/tmp/vorsel-solid-bench", help="where the archives are kept")
    parser.add_argument("--project", default=serving_bench.ROOT, help="folder with build-release/vorsel")
    parser.add_argument("--cache-bytes", type=int, default=None, help="VORSEL_CACHE_BYTES for the server")
    arguments = parser.parse_args()
    os.makedirs(arguments.folder, exist_ok=True)
    solid = os.path.join(arguments.folder, "photos.7z")
    zipped = os.path.join(arguments.folder, "photos.zip")
    make_archives.make_archives_from(arguments.folder, {solid: ["-t7z", "-mx=5", "-ms=on", "-mmt=2"],
                                                         zipped: ["-tzip", "-mx=0"]}, write_photos)
    print(" ".join(sys.argv))
    print(datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="seconds"))
    budget = arguments.cache_bytes
    print(f"cache budget: {'the default' if budget is None else f'{budget / MIB:.0f} MiB'}")
    table = serving_bench.Table()
    for archive in (solid, zipped):
        label = os.path.basename(archive)
        tool = best_of(3, lambda: serving_bench.timed(["7z", "e", "-so", archive, name_of(COUNT)]))

        def first_request():
            with vorsel(arguments.project, archive, budget) as (_, port):
                return get_seconds(port, COUNT)

        table.add(f"image 300 first vs 7z e -so, {label}", best_of(3, first_request) * 1000, "ms", tool * 1000, 1.2)
        with vorsel(arguments.project, archive, budget) as (process, port):
            idle = serving_bench.memory_kib(process.pid)[0]
            get_seconds(port, COUNT)
            previous = max(get_seconds(port, number) for number in range(COUNT - 1, COUNT - 11, -1))
            table.add(f"slowest of images 299..290, {label}", previous * 1000, "ms", target=50)
            table.add(f"image 150 after them, {label}", get_seconds(port, 150) * 1000, "ms", target=50)
        whole = serving_bench.timed(["7z", "t", archive])
        with vorsel(arguments.project, archive, budget) as (process, port):
            idle = serving_bench.memory_kib(process.pid)[0]
            # As a grid asks: six clients, each taking every sixth image in order.
            start = time.perf_counter()
            with concurrent.futures.ThreadPoolExecutor(6) as clients:
                list(clients.map(lambda first: get_all(port, range(first, COUNT + 1, 6)), range(1, 7)))
            table.add(f"all 300 by 6 clients vs 7z t, {label}", (time.perf_counter() - start) * 1000, "ms",
                      whole * 1000, 1.3)
            peak = serving_bench.memory_kib(process.pid)[1]
            limit = (budget if budget is not None else default_budget()) / MIB + 64
            table.add(f"peak memory above idle, {label}", (peak - idle) / 1024, "MiB", target=round(limit))
    table.print()


if __name__ == "__main__":
    main()

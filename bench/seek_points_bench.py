#!/usr/bin/env python3
"""Benchmark of seek points in a large compressed tarball, against the tar tool
and against an earlier build that decodes the tarball into a temporary file.

    python3 bench/seek_points_bench.py [FOLDER] [--size BYTES] [--kinds gzip,xz,zstd]
                                       [--executable PATH] [--baseline PATH]

Makes (once, deterministically) a tar of source-like text and binary files of
about --size bytes (default 3 GB), compressed with `gzip -6`, with
`xz -T2 -6` (blocks of 24 MiB) and with `pzstd -p 2` (several frames), then
prints for each side by side in one run: seconds from starting vorsel to its
whole listing (first start, with an empty cache folder) against `tar -tzf`,
`tar -tJf` or `tar --zstd -tf`; the second start
(the lasting index kept); one item from the middle after start; disk used
beyond the archive (temporary files held, and the index); peak memory above an
idle program's. With --baseline (a vorsel built before seek points, such as
the main branch's), the same figures for it. Run it by hand from a Release
build; it is not a test.
"""
import argparse
import io
import os
import random
import re
import resource
import subprocess
import sys
import tarfile
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import serving_bench  # noqa: E402
import tarball_bench  # noqa: E402


def make_tar(path, total):
    """Source-like text files with a binary file now and then, in folders of 80."""
    rng = random.Random(2024)
    pool = tarball_bench.line_pool(rng)
    written = 0
    middle = None
    with open(path + ".tmp", "wb") as raw:
        with tarfile.open(fileobj=raw, mode="w|", format=tarfile.GNU_FORMAT) as tar:
            module = 0
            while written < total:
                for part in range(80):
                    if part % 10 == 9:
                        data = rng.randbytes(rng.randint(20000, 400000))
                        name = f"src/module{module:04d}/blob_{part:04d}.bin"
                    else:
                        data = tarball_bench.source_file(rng, pool, rng.randint(2000, 60000))
                        name = f"src/module{module:04d}/part_{part:04d}.c"
                    info = tarfile.TarInfo(name)
                    info.size = len(data)
                    info.mtime = 1700000000
                    tar.addfile(info, io.BytesIO(data))
                    written += len(data)
                    if middle is None and written >= total // 2:
                        middle = name
                module += 1
    os.rename(path + ".tmp", path)
    with open(path + ".middle", "w") as f:
        f.write(middle)


def deleted_bytes_held(pid):
    """Bytes of deleted files the process holds open (its temporary copies)."""
    total = 0
    seen = set()
    fds = f"/proc/{pid}/fd"
    for fd in os.listdir(fds):
        try:
            target = os.readlink(os.path.join(fds, fd))
            if target.endswith("(deleted)"):
                info = os.stat(os.path.join(fds, fd))
                if info.st_ino not in seen:
                    seen.add(info.st_ino)
                    total += info.st_size
        except OSError:
            pass
    return total


def cpu_seconds(pid):
    """User and system seconds the process has run so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def timed_cpu(command):
    """(wall seconds, user and system seconds) of a command and its children."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    wall = serving_bench.timed(command)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def folder_bytes(folder):
    return sum(os.path.getsize(os.path.join(root, name)) for root, _, names in os.walk(folder) for name in names)


def one_start(executable, archive, cache, item, expected):
    """(seconds to the whole listing, processor seconds by then, seconds for the
    item, disk bytes held, peak KiB)."""
    env = {**os.environ, "BROWSER": "/bin/true", "XDG_CACHE_HOME": cache, "TMPDIR": os.path.dirname(archive)}
    started = time.perf_counter()
    process = subprocess.Popen([executable, archive], cwd=os.path.dirname(os.path.dirname(executable)),
                               stdout=subprocess.PIPE, env=env)
    with serving_bench.running(process):
        for line in process.stdout:
            found = re.search(rb"server listening @ http://127\.0\.0\.1:(\d+)/", line)
            if found:
                break
        threading.Thread(target=serving_bench.drain, args=(process.stdout,), daemon=True).start()
        port = int(found[1])
        status, _ = serving_bench.http_get(port, "/ArchiveContent")
        listed = time.perf_counter() - started
        cpu = cpu_seconds(process.pid)
        if status != 200:
            raise RuntimeError(f"listing: status {status}")
        started = time.perf_counter()
        status, body = serving_bench.http_get(port, "/ArchiveContent/" + item)
        served = time.perf_counter() - started
        if status != 200 or body != expected:
            raise RuntimeError(f"item: status {status}, {len(body)} bytes")
        held = deleted_bytes_held(process.pid)
        _, peak = serving_bench.memory_kib(process.pid)
    return listed, cpu, served, held, peak


def idle_peak(executable, folder):
    """Peak KiB of the program serving a tiny tarball: the idle figure."""
    tiny = os.path.join(folder, "tiny.tar.gz")
    if not os.path.exists(tiny):
        with tarfile.open(tiny, "w:gz") as tar:
            info = tarfile.TarInfo("a.txt")
            info.size = 2
            tar.addfile(info, io.BytesIO(b"a\n"))
    with tempfile.TemporaryDirectory() as cache:
        _, _, _, _, peak = one_start(executable, tiny, cache, "a.txt", b"a\n")
    return peak


# How each kind is made, and the tar tool's option that reads it.
KINDS = {
    "gzip": (".gz", ["gzip", "-6", "-c"], "-z"),
    "xz": (".xz", ["xz", "-T2", "-6", "-c"], "-J"),
    "zstd": (".zst", ["pzstd", "-q", "-p", "2", "-c"], "--zstd"),
}


def made_tarball(folder, size, kind):
    """The tarball of `kind` and about `size` bytes of tar in `folder`, made once."""
    tar_path = os.path.join(folder, f"source-{size}.tar")
    extension, compress, _ = KINDS[kind]
    archive = tar_path + extension
    if not os.path.exists(archive):
        print("making", archive, flush=True)
        if not os.path.exists(tar_path):
            make_tar(tar_path, size)
        with open(archive + ".tmp", "wb") as out:
            subprocess.run(compress + [tar_path], stdout=out, check=True)
        os.rename(archive + ".tmp", archive)
    return archive


def report(name, executable, archive, item, expected, tar_list, tar_size, folder):
    """One line of figures. Wall seconds on a machine that others share mostly
    measure the wait for a processor; the processor seconds beside them do not."""
    tar_wall, tar_cpu = tar_list
    idle = idle_peak(executable, folder)
    with tempfile.TemporaryDirectory() as cache:
        first, first_cpu, item_first, held, peak = one_start(executable, archive, cache, item, expected)
        index = folder_bytes(cache)
        second, second_cpu, item_second, _, peak2 = one_start(executable, archive, cache, item, expected)
    disk = held + index
    print(f"{name:>10}  first {first:6.2f} s ({first / tar_wall:4.2f}x tar -t; processor {first_cpu:.2f} s, "
          f"{first_cpu / tar_cpu:4.2f}x)  second {second:5.2f} s (processor {second_cpu:.2f} s)  "
          f"middle item {item_second * 1000:7.1f} ms (after the first start {item_first * 1000:.1f} ms)  "
          f"disk {disk / 1e6:8.1f} MB ({100 * disk / tar_size:5.2f}% of the tar; index {index / 1e6:.1f} MB)  "
          f"peak above idle {(max(peak, peak2) - idle) / 1024:6.1f} MiB", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder", nargs="?", default="/tmp/vorsel-seek-points-bench")
    parser.add_argument("--size", type=int, default=3 * 1000 * 1000 * 1000)
    project = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--executable", default=os.path.join(project, "build-release", "vorsel"))
    parser.add_argument("--baseline")
    parser.add_argument("--kinds", default="gzip,xz,zstd", help="of " + ", ".join(KINDS))
    options = parser.parse_args()
    options.executable = os.path.abspath(options.executable)
    if options.baseline:
        options.baseline = os.path.abspath(options.baseline)
    os.makedirs(options.folder, exist_ok=True)
    tar_path = os.path.join(options.folder, f"source-{options.size}.tar")
    for kind in options.kinds.split(","):
        tar_option = KINDS[kind][2]
        archive = made_tarball(options.folder, options.size, kind)
        with open(tar_path + ".middle") as f:
            item = f.read()
        tar_size = os.path.getsize(tar_path)
        print(f"{archive}: {os.path.getsize(archive) / 1e6:.1f} MB of {tar_size / 1e6:.1f} MB of tar; "
              f"middle item {item}", flush=True)
        expected = subprocess.run(["tar", tar_option, "-xOf", archive, item], capture_output=True, check=True).stdout
        tar_list = timed_cpu(["tar", tar_option, "-tf", archive])
        print(f"  tar {tar_option} -tf {tar_list[0]:.2f} s (processor {tar_list[1]:.2f} s)", flush=True)
        report("seek", options.executable, archive, item, expected, tar_list, tar_size, options.folder)
        if options.baseline:
            report("baseline", options.baseline, archive, item, expected, tar_list, tar_size, options.folder)


if __name__ == "__main__":
    main()

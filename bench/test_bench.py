#!/usr/bin/env python3
"""Benchmark of the test of an archive (/ArchiveContent?test), side by side with `7z t`.

    python3 bench/test_bench.py [FOLDER] [--project DIR] [--build NAME] [--rounds N]

Inputs (made once, deterministically, in FOLDER): the 300 MB source tree of
bench/tarball_bench.py as its .tar.xz, and the same tree as a Deflate zip and a
solid LZMA2 7z (both `-mx=1`). For each archive it prints the best of N rounds
(default 2) of: seconds from the request to vorsel's "done" and of `7z t`,
their ratio, the processor seconds of each (on a shared machine wall time is
partly a wait for a processor), `7z t`'s peak memory and vorsel's peak above
its idle size while it tests, and the counts of vorsel's done line; then how
soon a test stops once its client has left. Run it by
hand from a Release build; it is not a test.
"""
import argparse
import json
import os
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import search_bench  # noqa: E402
import serving_bench  # noqa: E402
import tarball_bench  # noqa: E402


def ensure_inputs(folder):
    os.makedirs(folder, exist_ok=True)
    tarball = os.path.join(folder, "tree.tar.xz")
    if not os.path.exists(tarball):
        tarball_bench.make_tarball(tarball)
    tree = os.path.join(folder, "tree")
    if not os.path.isdir(tree):
        os.makedirs(tree + ".tmp", exist_ok=True)
        subprocess.run(["tar", "-xJf", tarball, "-C", tree + ".tmp"], check=True)
        os.rename(tree + ".tmp", tree)
    made = []
    for name, options in [("tree.zip", ["-tzip", "-mx=1"]), ("tree.7z", ["-t7z", "-ms=on", "-mx=1"])]:
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            subprocess.run(["7z", "a", "-bso0", "-bsp0", *options, path + ".part", "."], cwd=tree, check=True)
            os.rename(path + ".part", path)
        made.append(path)
    return made + [tarball]


def tool_test(archive):
    """(wall seconds, processor seconds, peak KiB) of `7z t`."""
    start = time.perf_counter()
    process = subprocess.Popen(["7z", "t", "-bso0", "-bsp0", archive], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    took = time.perf_counter() - start
    if status != 0:
        raise RuntimeError(f"7z t failed on {archive}")
    return took, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def cpu_seconds(pid):
    return search_bench.cpu_ticks(pid) / os.sysconf("SC_CLK_TCK")


def reset_peak(pid):
    with open(f"/proc/{pid}/clear_refs", "w") as f:
        f.write("5")


def vorsel_test(port):
    """(seconds to done, the done line, progress lines)."""
    start = time.perf_counter()
    done, progress = None, 0
    with socket.create_connection(("127.0.0.1", port)) as sock:
        sock.sendall(b"GET /ArchiveContent?test HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")
        stream = sock.makefile("rb")
        while stream.readline() not in (b"\r\n", b""):
            pass
        for line in stream:
            message = json.loads(line)
            if "done" in message:
                done = message["done"]
            elif "progress" in message:
                progress += 1
    return time.perf_counter() - start, done, progress


def stop_latency(port, pid):
    """Milliseconds from the client leaving a test until the server's processor
    time stops growing (to within the 10 ms of its clock ticks)."""
    sock = socket.create_connection(("127.0.0.1", port))
    sock.sendall(b"GET /ArchiveContent?test HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")
    sock.recv(4096)
    time.sleep(0.5)
    sock.close()
    left = time.perf_counter()
    last_change, ticks = left, search_bench.cpu_ticks(pid)
    while time.perf_counter() - last_change < 0.5:
        time.sleep(0.005)
        now = search_bench.cpu_ticks(pid)
        if now != ticks:
            ticks, last_change = now, time.perf_counter()
    return (last_change - left) * 1000


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder", nargs="?", default="/tmp/vorsel-test-bench")
    parser.add_argument("--project", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser.add_argument("--build", default="build-release")
    parser.add_argument("--rounds", type=int, default=2)
    options = parser.parse_args()
    archives = ensure_inputs(options.folder)
    stops = []
    print("| archive | MB | vorsel s | 7z t s | vorsel/7z t | vorsel cpu s | 7z t cpu s | vorsel peak above idle MiB "
          "| 7z t peak MiB | items | bad | progress lines |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for archive in archives:
        name = os.path.basename(archive)
        size = os.path.getsize(archive) / 1e6
        with serving_bench.vorsel(options.project, archive, build=options.build) as (process, port):
            serving_bench.http_get(port, "/ArchiveContent?details")  # the blocks are known
            best = None
            for _ in range(options.rounds):
                tool = tool_test(archive)
                idle, _ = serving_bench.memory_kib(process.pid)
                reset_peak(process.pid)
                cpu_before = cpu_seconds(process.pid)
                took, done, progress = vorsel_test(port)
                cpu = cpu_seconds(process.pid) - cpu_before
                _, peak = serving_bench.memory_kib(process.pid)
                round_figures = (took, tool, cpu, (peak - idle) / 1024, done, progress)
                if best is None or took / tool[0] < best[0] / best[1][0]:
                    best = round_figures
            took, tool, cpu, above, done, progress = best
            print(f"| {name} | {size:.0f} | {took:.2f} | {tool[0]:.2f} | {took / tool[0]:.2f}x | {cpu:.2f} | "
                  f"{tool[1]:.2f} | {above:.1f} | {tool[2] / 1024:.1f} | {done['items'] if done else '?'} | "
                  f"{done['bad'] if done else '?'} | {progress} |", flush=True)
            stops.append(f"{name}: a test whose client left stopped within {stop_latency(port, process.pid):.0f} ms")
    for line in stops:
        print(line)


if __name__ == "__main__":
    main()

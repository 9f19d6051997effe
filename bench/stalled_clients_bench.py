#!/usr/bin/env python3
"""Measures a large item fetched while many clients that read nothing hold others.

    python3 bench/stalled_clients_bench.py [FOLDER] [--project DIR] [--build NAME] [--stalled N]

Inputs (made once in FOLDER, default /tmp/vorsel-stalled-bench, deterministically):
a stored zip of two 300 MiB items, big.bin and other.bin. For big.bin it prints
the time to the first byte and to the last of a fresh GET (curl, best of 3)
alone, then while N clients (50 by default) hold GETs that they never read on,
of big.bin itself or of other.bin: each such client has a tiny receive window
and stops reading once its head has come, so its extraction waits for it. The
server runs with its default settings (its write timeout gives up on a client
that makes no progress for 60 s, long after the figures are taken). Run it by
hand from a Release build; it is not a test.
"""
import argparse
import contextlib
import os
import random
import socket
import sys
import time

sys.dont_write_bytecode = True  # leaves no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import serving_bench  # noqa: E402

MIB = 1024 * 1024
ITEM_SIZE = 300 * MIB
ITEMS = ("big.bin", "other.bin")


def make_archive(folder):
    """The stored zip of the two items, made once."""
    archive = os.path.join(folder, "stalled.zip")
    if os.path.exists(archive):
        return archive
    source = os.path.join(folder, "source")
    os.makedirs(source, exist_ok=True)
    for seed, name in enumerate(ITEMS):
        rng = random.Random(31 + seed)
        with open(os.path.join(source, name), "wb") as out:
            for _ in range(ITEM_SIZE // MIB):
                out.write(rng.randbytes(MIB))
    serving_bench.make_archives.seven_zip("a", "-bd", "-tzip", "-mx=0", archive + ".part", *ITEMS, cwd=source)
    os.replace(archive + ".part", archive)
    return archive


def stalled_client(port, path):
    """A socket that asked for path with a tiny receive window and read its head only."""
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    s.settimeout(60)
    s.connect(("127.0.0.1", port))
    s.sendall(f"GET {path} HTTP/1.0\r\nHost: 127.0.0.1:{port}\r\n\r\n".encode())
    received = b""
    while b"\r\n\r\n" not in received:
        chunk = s.recv(1024)
        if not chunk:
            raise RuntimeError(f"a stalled client's reply ended before its head: {received!r}")
        received += chunk
    if not received.startswith(b"HTTP/1.0 200"):
        raise RuntimeError(f"a stalled client was answered {received.splitlines()[0]!r}")
    return s


def fetches(port, times=3):
    """(first byte, whole) in seconds of each of `times` GETs of big.bin."""
    return [serving_bench.fetch(port, "/ArchiveContent/big.bin", ITEM_SIZE) for _ in range(times)]


def thread_count(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(next(line for line in f if line.startswith("Threads:")).split()[1])


def measure(project, build, archive, stalled, held):
    """Best (first byte, whole) of a fresh GET of big.bin alone and beside `stalled`
    clients holding `held`; the server's threads while they hold it; every run."""
    with serving_bench.vorsel(project, archive, build=build) as (process, port):
        alone = fetches(port)
        with contextlib.ExitStack() as clients:
            for _ in range(stalled):
                clients.enter_context(stalled_client(port, f"/ArchiveContent/{held}"))
            time.sleep(1)  # their queues and socket buffers fill, their extractions wait
            beside = fetches(port)
            threads = thread_count(process.pid)
    best = lambda runs: (min(first for first, _ in runs), min(whole for _, whole in runs))  # noqa: E731
    return best(alone), best(beside), threads, alone, beside


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", nargs="?", default="/tmp/vorsel-stalled-bench", help="where the archive is kept")
    parser.add_argument("--project", default=serving_bench.ROOT, help="folder with the build and HTML/")
    parser.add_argument("--build", default="build-release", help="the build folder inside the project")
    parser.add_argument("--stalled", type=int, default=50, help="clients that read nothing")
    arguments = parser.parse_args()
    os.makedirs(arguments.folder, exist_ok=True)
    archive = make_archive(os.path.abspath(arguments.folder))
    project = os.path.abspath(arguments.project)

    rows, notes = [], []
    for held in ITEMS:
        (first, whole), (first_beside, whole_beside), threads, alone, beside = measure(
            project, arguments.build, archive, arguments.stalled, held)
        case = "same item" if held == "big.bin" else "another item"
        rows.append((f"first byte, {arguments.stalled} stalled on {case}", first * 1000, first_beside * 1000,
                     "≤ 100 ms", first_beside * 1000 <= 100))
        rows.append((f"whole 300 MiB, {arguments.stalled} stalled on {case}", whole * 1000, whole_beside * 1000,
                     "≤ 1.2x", whole_beside <= 1.2 * whole))
        notes.append(f"{case}: {threads} server threads while the clients held it; runs alone (first, whole s): "
                     + ", ".join(f"{a:.3f}/{b:.3f}" for a, b in alone) + "; beside them: "
                     + ", ".join(f"{a:.3f}/{b:.3f}" for a, b in beside))

    header = ("figure (best of 3)", "alone", "with stalled", "ratio", "target", "")
    table = [header] + [(name, f"{a:.1f} ms", f"{b:.1f} ms", f"{b / a:.2f}x", target, "met" if met else "not met")
                        for name, a, b, target, met in rows]
    widths = [max(len(row[i]) for row in table) for i in range(len(header))]
    for row in table:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())
    for note in notes:
        print(note)


if __name__ == "__main__":
    main()

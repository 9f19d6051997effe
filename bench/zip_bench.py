#!/usr/bin/env python3
"""Benchmark of the folder zip, side by side with 7z.

    python3 bench/zip_bench.py [FOLDER] [--project DIR] [--build NAME] [--megabytes N]

Inputs (made once in FOLDER, deterministically): a tree of about N MB (200 by
default; random files like photos and text files like sources), as a .zip, a
solid .7z and a .tar.gz. For each archive it prints vorsel's zip of everything
(GET /ArchiveContent?zip): the time to its last byte and to its first, whether
its length is the Content-Length, and vorsel's peak memory above its idle size
while it streams; beside it `7z x -so` (decoding alone, to a pipe) and
`7z x` then `7z a -tzip -mx0` (the same zip made through a folder), with their
times and peak memory. Run it by hand from a Release build; it is not a test.
"""
import argparse
import os
import random
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import serving_bench  # noqa: E402


def make_tree(tree, megabytes):
    rng = random.Random(23)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randrange(2, 10))) for _ in range(5000)]
    total, n = 0, 0
    while total < megabytes << 20:
        if n % 50 < 40:
            path, size = os.path.join(tree, "photos", f"{n // 50:03d}", f"IMG_{n:05d}.jpg"), 4 << 20
            data = rng.randbytes(size)
        else:
            path = os.path.join(tree, "src", f"{n // 50:03d}", f"file_{n:05d}.c")
            data = b" ".join(rng.choice(words) for _ in range(rng.randrange(2000, 8000))) + b"\n"
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (1600000000 + 2 * n, 1600000000 + 2 * n))
        total += len(data)
        n += 1


def ensure_inputs(folder, megabytes):
    os.makedirs(folder, exist_ok=True)
    tree = os.path.join(folder, "tree")
    if not os.path.isdir(tree):
        make_tree(tree, megabytes)
    archives = []
    for name, command in [("tree.zip", ["7z", "a", "-bso0", "-bsp0", "-tzip", "-mx1"]),
                          ("tree.7z", ["7z", "a", "-bso0", "-bsp0", "-t7z", "-ms=on", "-mx1"]),
                          ("tree.tar.gz", None)]:
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            if command:
                subprocess.run(command + [path, "."], cwd=tree, check=True)
            else:
                subprocess.run(["sh", "-c", f"tar -cf - . | gzip -1 > '{path}'"], cwd=tree, check=True)
        archives.append(path)
    return archives


def measured(command, stdout=subprocess.DEVNULL, cwd=None):
    """(seconds, seconds to the first output byte or None, peak RSS in MiB) of one command."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.PIPE if stdout is None else stdout, cwd=cwd)
    first = None
    if stdout is None:
        while True:
            piece = process.stdout.read1(1 << 20)
            if not piece:
                break
            if first is None:
                first = time.perf_counter() - start
        process.stdout.close()
    _, _, usage = os.wait4(process.pid, 0)
    process.returncode = 0
    return time.perf_counter() - start, first, usage.ru_maxrss / 1024


def vorsel_zip(port):
    """(seconds to the last byte, to the first, body bytes, Content-Length)."""
    start = time.perf_counter()
    first = None
    received = b""
    body = 0
    with socket.create_connection(("127.0.0.1", port)) as sock:
        sock.sendall(b"GET /ArchiveContent?zip HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")
        head_done = False
        while True:
            piece = sock.recv(1 << 20)
            if not piece:
                break
            if first is None:
                first = time.perf_counter() - start
            if head_done:
                body += len(piece)
                continue
            received += piece
            if b"\r\n\r\n" in received:
                head, rest = received.split(b"\r\n\r\n", 1)
                head_done = True
                body = len(rest)
    length = None
    for line in head.split(b"\r\n"):
        if line.lower().startswith(b"content-length:"):
            length = int(line.split(b":", 1)[1])
    return time.perf_counter() - start, first, body, length


def reset_peak(pid):
    with open(f"/proc/{pid}/clear_refs", "w") as f:
        f.write("5")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder", nargs="?", default="/tmp/vorsel-zip-bench")
    parser.add_argument("--project", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser.add_argument("--build", default="build-release")
    parser.add_argument("--megabytes", type=int, default=200)
    options = parser.parse_args()
    archives = ensure_inputs(options.folder, options.megabytes)
    print("| archive | MB | vorsel zip s | first byte ms | length = Content-Length | vorsel peak above idle MiB "
          "| 7z x -so s | 7z x -so first byte ms | 7z x -so peak MiB | 7z x + 7z a -tzip -mx0 s | peak MiB "
          "| vorsel / 7z x -so | vorsel / 7z x + a |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for archive in archives:
        name = os.path.basename(archive)
        decode_time, decode_first, decode_peak = measured(["7z", "x", "-so", archive], stdout=None)
        scratch = tempfile.mkdtemp(dir=options.folder)
        try:
            x_time, _, x_peak = measured(["7z", "x", "-bso0", "-bsp0", "-o" + os.path.join(scratch, "out"), archive])
            if name.endswith(".tar.gz"):  # 7z x gives the tar: take the tree out of it too
                tar_time, _, tar_peak = measured(["7z", "x", "-bso0", "-bsp0", "-o" + os.path.join(scratch, "tree"),
                                                  os.path.join(scratch, "out", "tree.tar")])
                x_time, x_peak, tree = x_time + tar_time, max(x_peak, tar_peak), os.path.join(scratch, "tree")
            else:
                tree = os.path.join(scratch, "out")
            a_time, _, a_peak = measured(["7z", "a", "-bso0", "-bsp0", "-tzip", "-mx0", os.path.join(scratch, "t.zip"),
                                          "."], cwd=tree)
        finally:
            shutil.rmtree(scratch)
        with serving_bench.vorsel(options.project, archive, build=options.build) as (process, port):
            serving_bench.http_get(port, "/ArchiveContent")
            time.sleep(2)  # the details, read in the background, are in
            idle, _ = serving_bench.memory_kib(process.pid)
            reset_peak(process.pid)
            took, first, body, length = vorsel_zip(port)
            _, peak = serving_bench.memory_kib(process.pid)
        size = os.path.getsize(archive) / (1 << 20)
        both = x_time + a_time
        print(f"| {name} | {size:.0f} | {took:.2f} | {first * 1000:.1f} | {body == length} ({body}) "
              f"| {(peak - idle) / 1024:.1f} | {decode_time:.2f} | {decode_first * 1000:.0f} | {decode_peak:.0f} "
              f"| {both:.2f} | {max(x_peak, a_peak):.0f} | {took / decode_time:.2f} | {took / both:.2f} |")


if __name__ == "__main__":
    main()

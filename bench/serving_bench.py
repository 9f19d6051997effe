#!/usr/bin/env python3
"""Measures how Vorsel serves HTTP, beside the 7z tool and nginx.

Prints one table row per figure: measured, reference, ratio, target, met or not.

  serving_bench.py [--project DIR] [FOLDER, default /tmp/vorsel-serving-bench]

It runs DIR/build-release/vorsel (DIR: this project by default) in DIR, for its HTML/.

The archives are made once into FOLDER, deterministically, and reused:
  stored.zip, deflated.zip, big.7z   a 256 MiB item big.bin, the 58-byte small.txt,
                                     the 1 MiB mib.bin and a few small files
  tree.zip, tree.7z                  200,020 items in nested folders
Repeated timings count their best of 3. Run by hand; it needs 7z, curl, wrk and nginx.
"""
import argparse
import contextlib
import datetime
import os
import random
import re
import shlex
import shutil
import socket
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # leaves no __pycache__ in the source tree
import make_archives  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MIB = 1024 * 1024
BIG = "/ArchiveContent/big.bin"
SMALL = "/ArchiveContent/small.txt"
SMALL_TEXT = b"The small item: fifty-eight bytes of text, asked for fast\n"
UTC = {**os.environ, "TZ": "UTC"}


def write_big_set(source):
    # Each MiB of big.bin: 3/4 random bytes, 1/4 text of a small vocabulary that
    # deflate and LZMA have to work at.
    rng = random.Random(make_archives.SEED + 3)
    words = [bytes(rng.choices(b"abcdefghijklmnopqrstuvwxyz", k=rng.randint(2, 10))) for _ in range(5000)]
    with open(os.path.join(source, "big.bin"), "wb") as out:
        for _ in range(make_archives.BIG_SIZE // MIB):
            out.write(rng.randbytes(MIB * 3 // 4))
            out.write(b" ".join(rng.choices(words, k=MIB // 10))[: MIB // 4])
    with open(os.path.join(source, "small.txt"), "wb") as f:
        f.write(SMALL_TEXT)
    with open(os.path.join(source, "mib.bin"), "wb") as f:
        f.write(rng.randbytes(MIB))
    os.makedirs(os.path.join(source, "docs"))
    for i in range(4):
        with open(os.path.join(source, "docs", f"note{i}.txt"), "w") as f:
            f.write(f"note {i}\n" * (i + 1) * 10)


@contextlib.contextmanager
def running(process):
    """Yields process and ends it on the way out, however that is left."""
    try:
        yield process
    finally:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def drain(stream):
    while stream.read(MIB):
        pass


@contextlib.contextmanager
def vorsel(project, archive, environment=None, build="build-release"):
    """Runs the vorsel of the project's build folder on archive (with environment
    additions) and yields (process, port) once it has said where it listens."""
    process = subprocess.Popen([os.path.join(project, build, "vorsel"), archive], cwd=project,
                               stdout=subprocess.PIPE, env={**os.environ, "BROWSER": "/bin/true", **(environment or {})})
    with running(process):
        for line in process.stdout:
            found = re.search(rb"server listening @ http://127\.0\.0\.1:(\d+)/", line)
            if found:
                break
        else:
            raise RuntimeError(f"vorsel ended before it listened on {archive}")
        # The request log goes on on stdout: keep the pipe from filling up.
        threading.Thread(target=drain, args=(process.stdout,), daemon=True).start()
        yield process, int(found[1])


@contextlib.contextmanager
def nginx(folder, files):
    """Runs a one-worker nginx without keep-alive or sendfile on a free port,
    serving files (name -> bytes) from a fresh root; yields the port."""
    prefix = os.path.join(folder, "nginx")
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(os.path.join(prefix, "root"))
    for name, content in files.items():
        with open(os.path.join(prefix, "root", name), "wb") as f:
            f.write(content)
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    temp_paths = "".join(f"    {kind}_temp_path {prefix}/{kind};\n"
                         for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    with open(os.path.join(prefix, "nginx.conf"), "w") as f:
        f.write(("user root;\n" if os.geteuid() == 0 else "") +
                f"worker_processes 1;\ndaemon off;\npid {prefix}/nginx.pid;\nerror_log {prefix}/error.log;\n"
                "events { worker_connections 1024; }\n"
                f"http {{\n    access_log off;\n    sendfile off;\n    keepalive_timeout 0;\n{temp_paths}"
                f"    server {{ listen 127.0.0.1:{port}; root {prefix}/root; }}\n}}\n")
    process = subprocess.Popen(["nginx", "-p", prefix + "/", "-c", os.path.join(prefix, "nginx.conf"),
                                "-e", os.path.join(prefix, "error.log")])
    with running(process):
        deadline = time.monotonic() + 10
        while True:
            try:
                socket.create_connection(("127.0.0.1", port)).close()
                break
            except ConnectionRefusedError:
                if process.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError(f"nginx did not start: see {prefix}/error.log")
                time.sleep(0.02)
        yield port


def http_get(port, path):
    """One GET read until the server closes; returns (status, body)."""
    with socket.create_connection(("127.0.0.1", port), timeout=600) as s:
        s.sendall(f"GET {path} HTTP/1.0\r\nHost: 127.0.0.1:{port}\r\n\r\n".encode())
        reply = bytearray()
        while chunk := s.recv(MIB):
            reply += chunk
    head, _, body = bytes(reply).partition(b"\r\n\r\n")
    return int(head.split()[1]), body


def curl_command(port, path, *options):
    return ["curl", "-sS", "-o", "/dev/null", "-w", "%{http_code} %{size_download} %{time_starttransfer} %{time_total}",
            *options, f"http://127.0.0.1:{port}{path}"]


def curl_result(output, size):
    """(seconds to the first byte, seconds in all) from curl's report of a 200 reply of size bytes."""
    code, got, first, total = output.split()
    if code != "200" or int(got) != size:
        raise RuntimeError(f"unexpected reply: status {code}, {got} bytes")
    return float(first), float(total)


def fetch(port, path, size):
    output = subprocess.run(curl_command(port, path), capture_output=True, text=True, check=True).stdout
    return curl_result(output, size)


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, check=True, env=UTC)
    return time.perf_counter() - start


def start_to_listing(project, archive):
    """Seconds from spawning vorsel on archive to having its whole listing."""
    start = time.perf_counter()
    with vorsel(project, archive) as (_, port):
        status, _ = http_get(port, "/ArchiveContent")
        took = time.perf_counter() - start
    if status != 200:
        raise RuntimeError(f"listing of {archive}: status {status}")
    return took


def memory_kib(pid):
    """(VmRSS, VmHWM) of the process, in KiB."""
    with open(f"/proc/{pid}/status") as f:
        fields = dict(line.split(":", 1) for line in f)
    return int(fields["VmRSS"].split()[0]), int(fields["VmHWM"].split()[0])


def wrk(port, path):
    """(requests/s, p99 latency in ms, error lines) of a 10 s run, one request per connection."""
    output = subprocess.run(["wrk", "-t1", "-c50", "-d10s", "--timeout", "10s", "--latency", "-H", "Connection: close",
                             f"http://127.0.0.1:{port}{path}"], capture_output=True, text=True, check=True).stdout
    p99 = re.search(r"^\s*99%\s+([\d.]+)(us|ms|s|m)\s*$", output, re.M)
    if not p99:
        raise RuntimeError(f"no 99th percentile in wrk's report:\n{output}")
    scale = {"us": 0.001, "ms": 1, "s": 1000, "m": 60000}[p99[2]]
    errors = re.findall(r"^\s*(Socket errors:.*|Non-2xx or 3xx responses:.*)$", output, re.M)
    return float(re.search(r"Requests/sec:\s*([\d.]+)", output)[1]), float(p99[1]) * scale, errors


class Table:
    def __init__(self):
        self.rows = []

    def add(self, name, measured, unit, reference=None, target=None):
        """A row whose ratio is measured/reference where there is a reference (target:
        the highest ratio that meets it, if any), else measured/target (a limit in unit)."""
        if reference is None:
            ratio, goal, met = measured / target, f"≤ {target} {unit}", measured <= target
        else:
            ratio = measured / reference
            goal, met = (f"≤ {target}x", ratio <= target) if target else ("—", None)
        self.rows.append((name, f"{measured:.1f} {unit}", "—" if reference is None else f"{reference:.1f} {unit}",
                          f"{ratio:.2f}x", goal, {True: "met", False: "not met", None: "—"}[met]))

    def print(self):
        header = ("figure", "measured", "reference", "ratio", "target", "")
        widths = [max(len(row[i]) for row in [header, *self.rows]) for i in range(6)]
        for row in [header, *self.rows]:
            print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())
        print("ratio: measured/reference, or measured/target where there is no reference")


def head_of_line(project, archives, table):
    with vorsel(project, archives["big.7z"]) as (_, port):
        with running(subprocess.Popen(curl_command(port, BIG), stdout=subprocess.PIPE, text=True)) as big_get:
            time.sleep(0.1)
            small = fetch(port, SMALL, len(SMALL_TEXT))[1]
            curl_result(big_get.communicate()[0], make_archives.BIG_SIZE)
    table.add("58-byte item while the 256 MiB 7z item is served", small * 1000, "ms", target=50)


def big_item(project, archives, table):
    """First byte and whole GET of big.bin, best of 3, the whole beside 7z e -so."""
    whole = []
    for name, limit in (("stored.zip", 1.5), ("deflated.zip", 1.1), ("big.7z", 1.1)):
        with vorsel(project, archives[name]) as (_, port):
            gets = [fetch(port, BIG, make_archives.BIG_SIZE) for _ in range(3)]
        table.add(f"first byte of the 256 MiB item, {name}", min(first for first, _ in gets) * 1000, "ms", target=50)
        tool = min(timed(["7z", "e", "-so", archives[name], "big.bin"]) for _ in range(3))
        whole.append((f"whole 256 MiB item vs 7z e -so, {name}", min(total for _, total in gets) * 1000, tool * 1000,
                      limit))
    for name, measured, tool, limit in whole:
        table.add(name, measured, "ms", reference=tool, target=limit)


def memory(project, archives, table):
    """The server's memory above idle while 20 clients GET big.bin at once, sampled every 20 ms."""
    for name in ("big.7z", "stored.zip"):
        with vorsel(project, archives[name]) as (process, port), contextlib.ExitStack() as clients:
            idle = memory_kib(process.pid)[0]
            gets = [clients.enter_context(running(subprocess.Popen(curl_command(port, BIG), stdout=subprocess.PIPE,
                                                                   text=True))) for _ in range(20)]
            peak = idle
            while any(get.poll() is None for get in gets):
                peak = max(peak, memory_kib(process.pid)[0])
                time.sleep(0.02)
            high_water_mark = memory_kib(process.pid)[1]
            for get in gets:
                curl_result(get.stdout.read(), make_archives.BIG_SIZE)
        table.add(f"VmRSS peak - idle, 20 GETs of the 256 MiB item, {name}", (peak - idle) / 1024, "MiB", target=512)
        table.add(f"VmHWM - idle, 20 GETs of the 256 MiB item, {name}", (high_water_mark - idle) / 1024, "MiB",
                  target=512)


def throughput(project, archives, folder, table):
    """wrk on vorsel and on nginx serving the same bytes; returns wrk's error lines."""
    notes = []
    with vorsel(project, archives["stored.zip"]) as (_, port), vorsel(project, archives["tree.zip"]) as (_, tree_port):
        cases = [("58-byte item", port, SMALL), ("small listing", port, "/ArchiveContent"),
                 ("page /index.html", port, "/index.html"), ("1 MiB stored item", port, "/ArchiveContent/mib.bin"),
                 ("200k-name listing", tree_port, "/ArchiveContent")]
        files = {}
        for i, (_, case_port, path) in enumerate(cases):
            status, files[f"case{i}"] = http_get(case_port, path)
            if status != 200:
                raise RuntimeError(f"{path}: status {status}")
        with nginx(folder, files) as nginx_port:
            for i, (name, case_port, path) in enumerate(cases):
                rps, p99, errors = wrk(case_port, path)
                nginx_rps, nginx_p99, nginx_errors = wrk(nginx_port, f"/case{i}")
                table.add(f"requests/s vs nginx, {name}", rps, "req/s", reference=nginx_rps)
                table.add(f"p99 latency vs nginx, {name}", p99, "ms", reference=nginx_p99)
                notes += [f"wrk on vorsel, {name}: {line}" for line in errors]
                notes += [f"wrk on nginx, {name}: {line}" for line in nginx_errors]
    return notes


def listing(project, archives, table):
    for name in ("tree.zip", "tree.7z"):
        measured = min(start_to_listing(project, archives[name]) for _ in range(3))
        tool = min(timed(["7z", "l", "-ba", archives[name], "no-such-item"]) for _ in range(3))
        table.add(f"start to whole listing vs 7z l, {name}", measured * 1000, "ms", reference=tool * 1000, target=1.5)


def seek(project, archives, table):
    with vorsel(project, archives["stored.zip"]) as (_, port):
        output = subprocess.run(curl_command(port, BIG, "-H", f"Range: bytes=-{MIB}"), capture_output=True,
                                text=True, check=True).stdout
    status, size, _, total = output.split()
    if (status, int(size)) not in (("206", MIB), ("200", make_archives.BIG_SIZE)):
        raise RuntimeError(f"unexpected reply to the range: status {status}, {size} bytes")
    table.add(f"last MiB of the stored 256 MiB item (status {status})", float(total) * 1000, "ms", target=300)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", nargs="?", default="/tmp/vorsel-serving-bench", help="where the archives are kept")
    parser.add_argument("--project", default=ROOT, help="folder with build-release/vorsel and HTML/")
    arguments = parser.parse_args()
    project = os.path.abspath(arguments.project)
    folder = os.path.abspath(arguments.folder)
    print(shlex.join(sys.argv))
    print(datetime.datetime.now().astimezone().isoformat(timespec="seconds"))
    sys.stdout.flush()

    os.makedirs(folder, exist_ok=True)
    archives = {name: os.path.join(folder, name)
                for name in ("stored.zip", "deflated.zip", "big.7z", "tree.zip", "tree.7z")}
    make_archives.make_archives_from(folder, {archives["stored.zip"]: ["-tzip", "-mx=0"],
                                              archives["deflated.zip"]: ["-tzip", "-mx=5"],
                                              # One block per item: the small ones never wait for big.bin's.
                                              archives["big.7z"]: ["-t7z", "-mx=5", "-ms=off", "-mmt=2"]},
                                     write_big_set)
    make_archives.make_archives_from(folder, {archives["tree.zip"]: ["-tzip", "-mx=1"],
                                              archives["tree.7z"]: ["-t7z", "-m0=lzma2", "-mx1"]},
                                     make_archives.write_tree)

    table = Table()
    head_of_line(project, archives, table)
    big_item(project, archives, table)
    memory(project, archives, table)
    notes = throughput(project, archives, folder, table)
    listing(project, archives, table)
    seek(project, archives, table)
    table.print()
    for note in notes:
        print(note)


if __name__ == "__main__":
    main()

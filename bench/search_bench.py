#!/usr/bin/env python3
"""Benchmark of contents search, side by side with ugrep -z and 7z t.

    python3 bench/search_bench.py [FOLDER] [--project DIR] [--build NAME] [--no-tarball]

Inputs (made once in FOLDER): the JDK's src.zip from Debian's
openjdk-17-source (installed with apt when missing), the same tree as .tar.gz,
.tar.xz and a solid .7z, and the 300 MB .tar.xz of bench/tarball_bench.py.
For each archive and each pattern (a literal, the same literal without regard
to case, and a regular expression) it prints: the time from the request to
vorsel's "done" and to its first result, `ugrep -z` on the same archive (zip
and tars only: ugrep does not read 7z), `7z t` (decoding alone), vorsel's peak
memory above its idle size while it searches, and whether vorsel's matching
lines per item agree with `ugrep -z -c`. Run it by hand from a Release build;
it is not a test.
"""
import argparse
import collections
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import serving_bench  # noqa: E402
import tarball_bench  # noqa: E402

JDK_ZIP = "/usr/lib/jvm/openjdk-17/lib/src.zip"
PATTERNS = [
    ("TODO", False, True),                # literal, case-sensitive
    ("todo", False, False),               # literal, any case
    (r"\bmalloc\s*\(", True, True),       # regular expression
]


def ensure_inputs(folder, tarball=True):
    os.makedirs(folder, exist_ok=True)
    archives = []
    if not shutil.which("ugrep"):
        subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", "ugrep"], check=False)
    if not os.path.exists(JDK_ZIP):
        subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", "openjdk-17-source"], check=False)
    if os.path.exists(JDK_ZIP):
        zip_path = os.path.join(folder, "jdk-src.zip")
        if not os.path.exists(zip_path):
            shutil.copy(JDK_ZIP, zip_path)
        tree = os.path.join(folder, "jdk-src")
        if not os.path.isdir(tree):
            subprocess.run(["7z", "x", "-bso0", "-bsp0", "-o" + tree, zip_path], check=True)
        for name, command in [("jdk-src.tar.gz", ["tar", "-czf"]), ("jdk-src.tar.xz", ["tar", "-cJf"])]:
            path = os.path.join(folder, name)
            if not os.path.exists(path):
                subprocess.run(command + [path, "-C", tree, "."], check=True, env={**os.environ, "XZ_OPT": "-2 -T1"})
        solid = os.path.join(folder, "jdk-src.7z")
        if not os.path.exists(solid):
            subprocess.run(["7z", "a", "-bso0", "-bsp0", "-t7z", "-ms=on", "-mx=3", solid, "."], cwd=tree, check=True)
        archives += [zip_path, os.path.join(folder, "jdk-src.tar.gz"), os.path.join(folder, "jdk-src.tar.xz"), solid]
    else:
        print("openjdk-17-source did not install: the JDK archives are left out")
    if tarball:
        path = os.path.join(folder, "tree.tar.xz")
        if not os.path.exists(path):
            tarball_bench.make_tarball(path)
        archives.append(path)
    return archives


def vorsel_search(port, pattern, regex, case):
    """(seconds to done, seconds to the first result or None, matches per item, done)."""
    query = {"search": pattern, "max": "1000000"}
    if regex:
        query["regex"] = "1"
    if case:
        query["case"] = "1"
    target = "/ArchiveContent?" + urllib.parse.urlencode(query)
    start = time.perf_counter()
    first = None
    per_item = collections.Counter()
    done = None
    with socket.create_connection(("127.0.0.1", port)) as sock:
        sock.sendall(f"GET {target} HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n".encode())
        stream = sock.makefile("rb")
        while stream.readline() not in (b"\r\n", b""):
            pass
        for line in stream:
            message = json.loads(line)
            if "done" in message:
                done = message["done"]
            elif "item" in message:
                if first is None:
                    first = time.perf_counter() - start
                per_item[message["item"]] += 1
    return time.perf_counter() - start, first, per_item, done


def ugrep_counts(archive, pattern, regex, case):
    """(seconds, matches per item) of ugrep -z -c, binary files skipped."""
    command = ["ugrep", "-z", "-c", "-I", "--no-messages"]
    if not regex:
        command.append("-F")
    if not case:
        command.append("-i")
    command += ["-e", pattern, archive]
    start = time.perf_counter()
    output = subprocess.run(command, stdout=subprocess.PIPE, check=False).stdout.decode("utf-8", "replace")
    took = time.perf_counter() - start
    counts = collections.Counter()
    for line in output.splitlines():
        found = re.match(r"^.*?\{(.*)\}:(\d+)$", line)
        if found and int(found[2]):
            name = found[1][2:] if found[1].startswith("./") else found[1]
            counts[name] += int(found[2])
    return took, counts


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def stop_latency(port, pid):
    """Milliseconds from the client leaving a long search until the server's
    processor time stops growing (to within the 10 ms of its clock ticks)."""
    sock = socket.create_connection(("127.0.0.1", port))
    sock.sendall(b"GET /ArchiveContent?search=zq%7Cqz%7Cxjxj&regex=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")
    sock.recv(4096)
    time.sleep(0.5)
    sock.close()
    left = time.perf_counter()
    last_change, ticks = left, cpu_ticks(pid)
    while time.perf_counter() - last_change < 0.5:
        time.sleep(0.005)
        now = cpu_ticks(pid)
        if now != ticks:
            ticks, last_change = now, time.perf_counter()
    return (last_change - left) * 1000


def preview_during_search(port, item):
    """Milliseconds to fetch `item` whole while a search of the archive runs."""
    search = threading.Thread(target=vorsel_search, args=(port, "zq|qz|xjxj", True, True))
    search.start()
    time.sleep(0.3)
    start = time.perf_counter()
    status, _ = serving_bench.http_get(port, "/ArchiveContent/" + urllib.parse.quote(item))
    took = (time.perf_counter() - start) * 1000
    search.join()
    return took if status == 200 else float("nan")


def reset_peak(pid):
    try:
        with open(f"/proc/{pid}/clear_refs", "w") as f:
            f.write("5")
        return True
    except OSError:
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder", nargs="?", default="/tmp/vorsel-search-bench")
    parser.add_argument("--project", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser.add_argument("--build", default="build-release")
    parser.add_argument("--no-tarball", action="store_true", help="leave the 300 MB tarball out")
    options = parser.parse_args()
    archives = ensure_inputs(options.folder, not options.no_tarball)
    sharing = []
    print("| archive | pattern | vorsel done s | first result ms | ugrep -z s | 7z t s | vorsel/ugrep | vorsel/7z t "
          "| peak above idle MiB | lines | agree with ugrep -c |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for archive in archives:
        name = os.path.basename(archive)
        test_time = serving_bench.timed(["7z", "t", "-bso0", "-bsp0", archive])
        with serving_bench.vorsel(options.project, archive, build=options.build) as (process, port):
            serving_bench.http_get(port, "/ArchiveContent")
            time.sleep(2)  # the details, read in the background, are in
            item = tarball_bench.ITEM if name == "tree.tar.xz" else "java.base/java/lang/Object.java"
            sharing.append(f"{name}: a preview of {item} during a search {preview_during_search(port, item):.0f} ms; "
                           f"a search whose client left stopped within {stop_latency(port, process.pid):.0f} ms")
            for pattern, regex, case in PATTERNS:
                idle, _ = serving_bench.memory_kib(process.pid)
                reset_peak(process.pid)
                took, first, per_item, done = vorsel_search(port, pattern, regex, case)
                _, peak = serving_bench.memory_kib(process.pid)
                label = pattern + ("" if case else " (any case)")
                if name.endswith(".7z"):
                    ugrep_time, agree = None, "ugrep reads no 7z"
                else:
                    ugrep_time, counts = ugrep_counts(archive, pattern, regex, case)
                    differ = [item for item in set(counts) | set(per_item) if counts[item] != per_item[item]]
                    agree = "yes" if not differ else f"{len(differ)} items differ, e.g. {sorted(differ)[:2]}"
                ratio_ugrep = f"{took / ugrep_time:.2f}x" if ugrep_time else "-"
                print(f"| {name} | `{label}` | {took:.2f} | {first * 1000 if first is not None else float('nan'):.0f} | "
                      f"{ugrep_time if ugrep_time else float('nan'):.2f} | {test_time:.2f} | {ratio_ugrep} | "
                      f"{took / test_time:.2f}x | {(peak - idle) / 1024:.1f} | {done['matches'] if done else '?'} | {agree} |",
                      flush=True)
    for line in sharing:
        print(line)


if __name__ == "__main__":
    main()

"""The contents search as a plain model over an extracted tree, for the tests
that check the server's results: search_model.py FOLDER QUERIES_JSON.

Each query is an object with "search", and optionally "regex", "case", "in",
"names" (comma-separated globs), "binary" and "max", as the route takes them.
Prints one JSON object per query: {"hits": [[PATH, LINE, TEXT, RANGES]...],
"searched": N, "skipped": N}, where TEXT is null for a line as long as the
window that the server cuts (RANGES then null too), and RANGES are offsets
into TEXT as UTF-8. Lines are the item's bytes split at b"\\n"; an
item is binary when its first 64 KiB hold a NUL byte."""
import fnmatch
import json
import os
import re
import sys

WINDOW = 512


def items(folder, inside):
    start = os.path.join(folder, inside) if inside else folder
    for root, dirs, files in os.walk(start):
        for name in files:
            full = os.path.join(root, name)
            yield os.path.relpath(full, folder).replace(os.sep, "/"), name, full


def run(folder, query):
    flags = 0 if query.get("case") else re.IGNORECASE
    source = query["search"].encode()
    pattern = re.compile(source if query.get("regex") else re.escape(source), flags | re.MULTILINE)
    globs = [g.lower() for g in query.get("names", "").split(",") if g]
    limit = query.get("max", 10000)
    hits, searched, skipped = [], 0, 0
    for path, name, full in sorted(items(folder, query.get("in", ""))):
        if globs and not any(fnmatch.fnmatchcase(name.lower(), g) for g in globs):
            continue
        data = open(full, "rb").read()
        if not query.get("binary") and b"\0" in data[:65536]:
            skipped += 1
            continue
        searched += 1
        lines = data.split(b"\n")
        if lines and lines[-1] == b"":
            lines.pop()
        for number, line in enumerate(lines, 1):
            # Offsets into the text as UTF-8, where each byte that is not
            # becomes U+FFFD.
            at = lambda i: len(line[:i].decode("utf-8", "replace").encode())
            ranges = [[at(m.start()), at(m.end())] for m in pattern.finditer(line)]
            if ranges:
                text = line.decode("utf-8", "replace") if len(line) < WINDOW else None
                hits.append([path, number, text, ranges if text is not None else None])
    return {"hits": hits[:limit], "searched": searched, "skipped": skipped, "truncated": len(hits) > limit}


folder = sys.argv[1]
for query in json.loads(sys.argv[2]):
    print(json.dumps(run(folder, query)))

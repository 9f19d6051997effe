#!/usr/bin/env python3
# Writes small stored rar archives (rar 1.5-4 and rar 5) into a folder, as seeds
# for the rar fuzz target. Usage: make_rar_seeds.py FOLDER
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from make_rar import rar4, rar5  # noqa: E402

FILES = [("hello.txt", b"hello\n"),
         ("folder/text.txt", b"".join(b"line %d of a text that compresses\n" % i for i in range(1, 41)))]


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "stored4.rar").write_bytes(rar4(FILES))
    (folder / "stored5.rar").write_bytes(rar5(FILES))


if __name__ == "__main__":
    main()

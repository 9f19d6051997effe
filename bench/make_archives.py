#!/usr/bin/env python3
"""Makes the archives that archive_bench measures, deterministically from a fixed
seed, into the folder given as the one argument (skipping those already there):

  flat.zip   200,000 small stored items in one folder
  tree.7z    200,000 items (files and their folders) in a tree of folders
  big.7z     one 256 MiB item big.bin of text-like bytes, LZMA2
  big.zip    the same item, deflated

Its helpers also make the serving benchmark's archives.
"""
import os
import random
import shutil
import subprocess
import sys
import zipfile

SEED = 20261209
ITEMS = 200_000
BIG_SIZE = 256 * 1024 * 1024
FIXED_TIME = 1704067200  # 2024-01-01 00:00:00 UTC


def seven_zip(*arguments, cwd):
    subprocess.run(["7z", *arguments], cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   env={**os.environ, "TZ": "UTC"})


def remove_if_there(path):
    if os.path.exists(path):
        os.remove(path)


def make_flat_zip(path):
    rng = random.Random(SEED)
    with zipfile.ZipFile(path + ".part", "w", compression=zipfile.ZIP_STORED) as archive:
        for i in range(ITEMS):
            info = zipfile.ZipInfo(f"file_{i:06d}_{rng.getrandbits(32):08x}.txt", (2024, 1, 1, 0, 0, 0))
            archive.writestr(info, f"item {i}\n")
    os.replace(path + ".part", path)


def fix_metadata(source):
    """Gives every file and folder under source the same mode and time on every run,
    so that the archives made from it are the same bytes."""
    for directory, folders, files in os.walk(source):
        for names, mode in ((folders, 0o755), (files, 0o644)):
            for name in names:
                path = os.path.join(directory, name)
                os.chmod(path, mode)
                os.utime(path, (FIXED_TIME, FIXED_TIME))


def write_archive(path, cwd, options, names):
    """Has 7z make the archive at path from names (relative to cwd), written whole or not at all."""
    part = os.path.abspath(path) + ".part"
    remove_if_there(part)  # 7z would add to what a cut-short run left
    seven_zip("a", "-bd", *options, part, *names, cwd=cwd)
    os.replace(part, path)


def make_archives_from(folder, archives, fill):
    """Makes each missing archive of archives (path -> 7z options) from the files
    that fill(source) writes into a fresh source folder under folder."""
    missing = {path: options for path, options in archives.items() if not os.path.exists(path)}
    if not missing:
        return
    source = os.path.join(folder, "source")
    shutil.rmtree(source, ignore_errors=True)
    os.makedirs(source)
    fill(source)
    fix_metadata(source)
    for path, options in missing.items():
        write_archive(path, source, options, ["."])
    shutil.rmtree(source)


def write_tree(source):
    # 20 top folders x 50 sub-folders x 199 files + the 1,020 folders = 200,020 items.
    rng = random.Random(SEED + 1)
    for top in range(20):
        for sub in range(50):
            directory = os.path.join(source, f"top{top:02d}", f"sub{sub:02d}")
            os.makedirs(directory)
            for i in range(199):
                with open(os.path.join(directory, f"f{i:03d}_{rng.getrandbits(24):06x}.txt"), "w") as f:
                    f.write(f"{top} {sub} {i}\n")


def make_big_item(path):
    rng = random.Random(SEED + 2)
    words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10)))
             for _ in range(5000)]
    chunk = 1024 * 1024
    with open(path, "wb") as out:
        written = 0
        while written < BIG_SIZE:
            line_words = rng.choices(words, k=chunk // 5)
            text = " ".join(line_words).encode()[:chunk]
            text = text[: BIG_SIZE - written]
            out.write(text)
            written += len(text)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    flat = os.path.join(folder, "flat.zip")
    if not os.path.exists(flat):
        make_flat_zip(flat)
    make_archives_from(folder, {os.path.join(folder, "tree.7z"): ["-t7z", "-m0=lzma2", "-mx1"]}, write_tree)
    big_7z = os.path.join(folder, "big.7z")
    big_zip = os.path.join(folder, "big.zip")
    if not (os.path.exists(big_7z) and os.path.exists(big_zip)):
        item = os.path.join(folder, "big.bin")
        make_big_item(item)
        if not os.path.exists(big_7z):
            write_archive(big_7z, folder, ["-t7z", "-m0=lzma2", "-mx5", "-mmt=2"], ["big.bin"])
        if not os.path.exists(big_zip):
            with zipfile.ZipFile(big_zip + ".part", "w", compression=zipfile.ZIP_DEFLATED) as archive:
                archive.write(item, "big.bin")
            os.replace(big_zip + ".part", big_zip)
        os.remove(item)


if __name__ == "__main__":
    main()

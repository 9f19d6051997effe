#!/usr/bin/env python3
# Writes stored rar archives (rar 1.5-4 and rar 5): no free tool makes rar
# archives, so their headers are laid out here. As a program:
#   make_rar.py 4|5 OUT FILE...   (the files' names as given, read from here)
import struct
import sys
import zlib
from pathlib import Path

DOS_TIME = (46 << 25) | (1 << 21) | (1 << 16)  # 2026-01-01 00:00


def rar4(files):
    def block(kind, flags, body, data=b""):
        head = struct.pack("<BHH", kind, flags, 7 + len(body)) + body
        return struct.pack("<H", zlib.crc32(head) & 0xFFFF) + head + data

    out = b"Rar!\x1a\x07\x00" + block(0x73, 0, b"\0" * 6)
    for name, data in files:
        raw = name.replace("/", "\\").encode()
        body = struct.pack("<IIBIIBBHI", len(data), len(data), 3, zlib.crc32(data), DOS_TIME, 20, 0x30,
                           len(raw), 0o100644 << 16) + raw
        out += block(0x74, 0x8000, body, data)
    return out + block(0x7B, 0x4000, b"")


def vint(value):
    out = bytearray()
    while True:
        byte = value & 0x7F
        value >>= 7
        out.append(byte | (0x80 if value else 0))
        if not value:
            return bytes(out)


def rar5(files):
    def header(kind, flags, fields, data=b""):
        extra = vint(len(data)) if data else b""
        body = vint(kind) + vint(flags | (0x0002 if data else 0)) + extra + fields
        sized = vint(len(body)) + body
        return struct.pack("<I", zlib.crc32(sized)) + sized + data

    out = b"Rar!\x1a\x07\x01\x00" + header(1, 0, vint(0))
    for name, data in files:
        raw = name.encode()
        fields = (vint(0x0004) + vint(len(data)) + vint(0o100644) + struct.pack("<I", zlib.crc32(data)) + vint(0)
                  + vint(1) + vint(len(raw)) + raw)
        out += header(2, 0, fields, data)
    return out + header(5, 0, vint(0))



def main():
    version, out, names = sys.argv[1], Path(sys.argv[2]), sys.argv[3:]
    files = [(name, Path(name).read_bytes()) for name in names]
    out.write_bytes(rar4(files) if version == "4" else rar5(files))


if __name__ == "__main__":
    main()

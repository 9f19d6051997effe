#!/usr/bin/env python3
"""Makes the archives that the browser tests serve: make_archives.py OUTDIR.

OUTDIR/sample/ is a small project tree (pictures, a tall photo, text, source, a
page with its style sheet and picture, a PDF, a sound, a video, binary data,
hostile names, an empty folder); OUTDIR/sample.zip holds it, every entry with a
date of its own. OUTDIR/sample.details.json is the listing with sizes and dates
that the server can send for it, read back from the zip file. The video is
encoded by vpxenc (Debian's vpx-tools) in its deterministic mode.
OUTDIR/damaged.7z holds a good text file and a file whose packed bytes are
corrupted. OUTDIR/encrypted.7z holds two texts and, in "pictures", four PNG
pictures, encrypted with the password ENCRYPTED_PASSWORD (their names readable).
OUTDIR/nested.7z holds inner.zip, which holds a small tree and tree.tar, which
holds another (OUTDIR/nested-src/ has them all), beside a text and fake.zip, a
text named as a zip. OUTDIR/big.zip holds 200,000 items: 100,000 in the folder "many" and
100,000 more in 1,000 folders below "sets". OUTDIR/slow.7z holds four texts of
8 MiB in one solid block of PPMd of order 32, which takes seconds to decode
(its test runs long enough to be stopped).
OUTDIR/gallery/ holds the folder "pictures": 40 PNG pictures of one colour each,
pic-01.png to pic-40.png, of sizes from 203 x 150 to 320 x 150, an SVG picture,
a PNG that is not one, a text and a folder; and the folder "thousands": 10,000
PNG pictures of 8 x 8 pixels in colours of their own. OUTDIR/gallery.zip holds
both folders, OUTDIR/gallery.7z "pictures" alone in one solid block.
OUTDIR/names.tar holds names with bytes that no code page decodes (too few to
detect one from): "bad" + 0xFF + ".txt" and "bad" + 0xFE + ".txt", which show
alike, and "dir" + 0xFF + "/inner.txt", beside "ok.txt"; OUTDIR/japanese.zip
names made on Japanese Windows (code page 932, no UTF-8 flag), two of them with
a second byte 0x5C.
OUTDIR/comic.cbz holds the 12 pages of a comic, page-1.png to page-12.png
(numbered without zeros, so that only a natural order reads them right), each
300 x 450 pixels in a colour of its own (COMIC_COLOURS) with as many dark bars
across its top as its number, page 7 a wide spread of 600 x 450, and
ComicInfo.xml beside them; OUTDIR/shelf.zip holds comic.cbz and a text.
"""
import io
import json
import math
import os
import random
import struct
import subprocess
import sys
import tarfile
import tempfile
import zipfile
import zlib


def png(width, height, pixel):
    return png_of_rows(width, height, (b''.join(pixel(x, y) for x in range(width)) for y in range(height)))


def png_of_rows(width, height, rows):
    """An RGB PNG from the bytes of each of its rows."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))

    header = struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)
    data = b''.join(b'\0' + row for row in rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
            chunk(b'IDAT', zlib.compress(data, 9)) + chunk(b'IEND', b''))


def gradient(width, height, a, b):
    def pixel(x, y):
        t = (x / width + y / height) / 2
        return bytes(round(a[i] + (b[i] - a[i]) * t) for i in range(3))
    return png(width, height, pixel)


def sky(width, height, top, bottom):
    """A picture whose colour goes from top to bottom, quick to make at any size."""
    return png_of_rows(width, height, (bytes(round(top[i] + (bottom[i] - top[i]) * y / height) for i in range(3)) * width
                                       for y in range(height)))


def pdf(text):
    objects = [
        b'<< /Type /Catalog /Pages 2 0 R >>',
        b'<< /Type /Pages /Kids [3 0 R] /Count 1 >>',
        b'<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 144] /Contents 4 0 R '
        b'/Resources << /Font << /F1 5 0 R >> >> >>',
        None,
        b'<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>',
    ]
    stream = b'BT /F1 24 Tf 40 70 Td (' + text.encode() + b') Tj ET'
    objects[3] = b'<< /Length %d >>\nstream\n' % len(stream) + stream + b'\nendstream'
    out = bytearray(b'%PDF-1.4\n')
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b'%d 0 obj\n' % number + body + b'\nendobj\n'
    xref = len(out)
    out += b'xref\n0 %d\n0000000000 65535 f \n' % (len(objects) + 1)
    for offset in offsets:
        out += b'%010d 00000 n \n' % offset
    out += b'trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n' % (len(objects) + 1, xref)
    return bytes(out)


def wav(seconds=1.0, rate=8000, freq=440.0):
    count = int(seconds * rate)
    samples = b''.join(struct.pack('<h', int(12000 * math.sin(2 * math.pi * freq * i / rate)))
                       for i in range(count))
    return (b'RIFF' + struct.pack('<I', 36 + len(samples)) + b'WAVEfmt ' +
            struct.pack('<IHHIIHH', 16, 1, 1, rate, rate * 2, 2, 16) +
            b'data' + struct.pack('<I', len(samples)) + samples)


def webm(seconds=8, fps=25, width=160, height=120):
    """A VP8 video with a key frame every second: noise, tinted a different colour
    each second. Noise does not compress, so the file is large enough (about
    2 MiB) that a seek near its end needs bytes that the browser has not read."""
    rng = random.Random(5)
    chroma = width * height // 4
    frames = bytearray(b'YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C420jpeg\n' % (width, height, fps))
    for frame in range(seconds * fps):
        second = frame // fps
        frames += b'FRAME\n' + rng.randbytes(width * height)
        frames += bytes([(64 + 48 * second) % 256]) * chroma + bytes([(192 - 40 * second) % 256]) * chroma
    with tempfile.TemporaryDirectory() as work:
        source, target = os.path.join(work, 'in.y4m'), os.path.join(work, 'out.webm')
        with open(source, 'wb') as f:
            f.write(frames)
        subprocess.run(['vpxenc', '--debug', '--quiet', '--codec=vp8', '--threads=1', '--good', '--cpu-used=4',
                        '--end-usage=cq', '--cq-level=20', '--target-bitrate=8000',
                        f'--kf-min-dist={fps}', f'--kf-max-dist={fps}', '-o', target, source],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(target, 'rb') as f:
            return f.read()


# A 1 x 1 GIF.
GIF = (b'GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00'
       b',\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;')

SVG = b'''<svg xmlns="http://www.w3.org/2000/svg" width="240" height="160" viewBox="0 0 240 160">
<rect width="240" height="160" rx="16" fill="#3d63dd"/>
<circle cx="80" cy="80" r="40" fill="#f2b33d"/>
<script>document.title = "svg script ran"</script>
</svg>
'''

PAGE = b'''<!doctype html>
<html><head><title>Archived page</title><link rel="stylesheet" href="page_files/style.css"></head>
<body><h1>Archived page</h1><p>Static text inside the archive.</p><img src="page_files/logo.png" alt="logo">
<script>parent.document.title = "archived script ran"; document.body.dataset.ran = "yes";</script>
</body></html>
'''

HOSTILE_NAMES = [
    'say "hi" & <img src=x onerror="window.pwned=1">.txt',
    "it's 100% #1 + more?.txt",
    'naïve café 日本語 ✓.txt',
    '  spaced  out  .txt',
]


def sample_files():
    rng = random.Random(7)
    noise = random.Random(3)
    files = {
        'README.md': b'# Sample project\n\nThis archive exists to exercise the viewer.\n'
                     b'Second line of the readme.\n',
        'LICENSE': b'Permission is granted to read this file.\n',
        'notes.txt': '\n'.join(f'Note {i}: nothing to see here.' for i in range(1, 41)).encode() + b'\n',
        'docs/guide.md': b'# Guide\n\n1. Open a folder.\n2. Open a file.\n',
        'docs/changelog.txt': b'1.0 first release\n1.1 second release\n',
        'docs/manual.pdf': pdf('Vorsel manual'),
        'docs/page.html': PAGE,
        'docs/page_files/style.css': b'h1 { color: rgb(200, 30, 30); }\n',
        'docs/page_files/logo.png': gradient(48, 24, (200, 30, 30), (30, 30, 200)),
        'images/sunrise.png': gradient(320, 200, (255, 170, 90), (120, 60, 200)),
        'images/sea.png': gradient(240, 160, (20, 120, 200), (120, 230, 200)),
        'images/forest.png': gradient(200, 200, (30, 90, 40), (200, 230, 120)),
        'images/file2.png': gradient(40, 40, (0, 0, 0), (255, 255, 255)),
        'images/file10.png': gradient(40, 40, (255, 255, 255), (0, 0, 0)),
        'images/dot.gif': GIF,
        'images/badge.svg': SVG,
        # Noise: larger than the first bytes that tell the viewer its kind.
        'images/picture-without-extension': png(64, 48, lambda x, y: noise.randbytes(3)),
        'src/main.c': b'#include <stdio.h>\n\nint main(void)\n{\n    puts("hello");\n    return 0;\n}\n',
        'src/app.js': b'export function greet(name) {\n  return `Hello, ${name}!`;\n}\n',
        'src/style.css': b'body { color: #333; }\n',
        'src/tool.py': b'def main():\n    print("tool")\n\n\nif __name__ == "__main__":\n    main()\n',
        'src/data.json': b'{"name": "sample", "values": [1, 2, 3]}\n',
        'media/tone.wav': wav(),
        # A photo taller than wide, taller than the preview frame.
        'media/portrait.png': sky(800, 1066, (250, 220, 160), (40, 70, 120)),
        'media/clip.webm': webm(),
        'media/unplayable.mp4': b'These bytes are text, not a video.\n' * 20,
        'bin/blob.bin': bytes(rng.randrange(256) for _ in range(3000)),
        'logs/huge.log': b''.join(b'%07d the quick brown fox jumps over the lazy dog\n' % i
                                  for i in range(60000)),
        'Odd <folder> & "quotes"/inner #1.txt': b'inside the odd folder\n',
    }
    for name in HOSTILE_NAMES:
        files['hostile/' + name] = ('content of ' + name + '\n').encode()
    return files


def write_tree(root, files):
    for path, data in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, 'wb') as f:
            f.write(data)


def entry(path, number):
    """A zip entry with a date that depends on its number only (in even seconds,
    as zip keeps them), so that the archive is the same at every run."""
    when = (2020 + number % 5, 1 + number * 5 % 12, 1 + number * 7 % 28, number * 3 % 24, number * 11 % 60, number * 2 % 60)
    info = zipfile.ZipInfo(path, date_time=when)
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def details_of(archive):
    """The listing with details that the server sends for the zip file: folders
    with their files as objects, the archive's own name and size at the root. A
    directory entry gives its date to its folder; one that holds nothing is
    listed, as the server lists it, as a file marked as a folder."""
    root = {'name': 'ArchiveContent', 'archive': {'name': os.path.basename(archive), 'size': os.path.getsize(archive)},
            'SubDirectories': [], 'files': []}

    def folder(parts):
        node = root
        for part in parts:
            found = [sub for sub in node['SubDirectories'] if sub['name'] == part]
            if not found:
                found = [{'name': part, 'SubDirectories': [], 'files': []}]
                node['SubDirectories'].append(found[0])
            node = found[0]
        return node

    with zipfile.ZipFile(archive) as z:
        names = z.namelist()
        for info in z.infolist():
            parts = info.filename.rstrip('/').split('/')
            modified = '%04d-%02d-%02dT%02d:%02d:%02dZ' % info.date_time
            if info.is_dir() and any(name != info.filename and name.startswith(info.filename) for name in names):
                folder(parts)['modified'] = modified
                continue
            file = {'name': parts[-1], 'size': info.file_size, 'packedSize': info.compress_size, 'modified': modified}
            file.update({'folder': True} if info.is_dir() else {'crc': '%08X' % info.CRC})
            file['encrypted'] = bool(info.flag_bits & 1)
            folder(parts[:-1])['files'].append(file)
    return root


def make_sample(out):
    files = sample_files()
    write_tree(os.path.join(out, 'sample'), files)
    archive = os.path.join(out, 'sample.zip')
    with zipfile.ZipFile(archive, 'w') as z:
        z.writestr(entry('images/', len(files)), b'')
        for number, path in enumerate(sorted(files)):
            z.writestr(entry(path, number), files[path])
        z.writestr(entry('empty/', len(files) + 1), b'')
    with open(os.path.join(out, 'sample.details.json'), 'w') as f:
        json.dump(details_of(archive), f, ensure_ascii=False)


def make_damaged(out):
    source = os.path.join(out, 'damaged-src')
    marker = b'DAMAGE-MARKER-' * 4000
    write_tree(source, {'ok.txt': b'this item is fine\n', 'broken.dat': marker})
    archive = os.path.join(out, 'damaged.7z')
    # Stored, not solid: each item's bytes appear as they are, so the corruption
    # lands in exactly one item's packed stream.
    subprocess.run(['7z', 'a', '-bd', '-m0=Copy', '-ms=off', archive, 'ok.txt', 'broken.dat'],
                   cwd=source, check=True, stdout=subprocess.DEVNULL)
    with open(archive, 'r+b') as f:
        data = f.read()
        at = data.index(marker) + 1000
        f.seek(at)
        f.write(bytes([data[at] ^ 0xFF]))


ENCRYPTED_PASSWORD = 'Öffne dich, Sesam'


def make_encrypted(out):
    source = os.path.join(out, 'encrypted-src')
    files = {'secret.txt': b'the first secret\n', 'hidden.txt': b'the second secret\n'}
    files.update({f'pictures/locked-{n}.png': solid(120, 90, (40 * n, 200 - 30 * n, 90)) for n in range(1, 5)})
    write_tree(source, files)
    subprocess.run(['7z', 'a', '-bd', '-p' + ENCRYPTED_PASSWORD, os.path.join(os.path.abspath(out), 'encrypted.7z'),
                    'secret.txt', 'hidden.txt', 'pictures'], cwd=source, check=True, stdout=subprocess.DEVNULL)


def make_nested(out):
    source = os.path.join(out, 'nested-src')
    tar_files = {'dir/deep note.txt': b'three archives down\n', 'dir/pic.png': solid(64, 48, (200, 80, 40)),
                 'top.txt': b'top of the tar\n'}
    write_tree(os.path.join(source, 'tar'), tar_files)
    with tarfile.open(os.path.join(source, 'tree.tar'), 'w', format=tarfile.USTAR_FORMAT) as tar:
        for path in sorted(tar_files):
            tar.add(os.path.join(source, 'tar', path), arcname=path)
    with open(os.path.join(source, 'tree.tar'), 'rb') as f:
        zip_files = {'docs/readme.txt': b'inside the zip\n', 'docs/deeper/more.txt': b'further down\n', 'tree.tar': f.read()}
    outer = os.path.join(source, 'outer')
    write_tree(outer, {'notes.txt': b'beside the inner archive\n', 'fake.zip': b'These bytes are text, not an archive.\n'})
    with zipfile.ZipFile(os.path.join(outer, 'inner.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
        for number, path in enumerate(sorted(zip_files)):
            z.writestr(entry(path, number), zip_files[path])
    subprocess.run(['7z', 'a', '-bd', os.path.join(os.path.abspath(out), 'nested.7z'), 'inner.zip', 'notes.txt', 'fake.zip'],
                   cwd=outer, check=True, stdout=subprocess.DEVNULL)


def make_big(out):
    with zipfile.ZipFile(os.path.join(out, 'big.zip'), 'w', zipfile.ZIP_STORED) as z:
        for i in range(100000):
            z.writestr(f'many/item-{i}.txt', b'')
        for i in range(100000):
            z.writestr(f'sets/set-{i // 100}/entry-{i % 100}.dat', b'')


def make_slow(out):
    words = 'archive block folder item stream decode listing pages reader search zip test sound bad'.split()
    folder = os.path.join(out, 'slow-src')
    os.makedirs(folder, exist_ok=True)
    for i in range(4):
        rng = random.Random(i)
        chunk = ' '.join(rng.choices(words, k=180000)).encode()[:1 << 20]
        with open(os.path.join(folder, f'part-{i}.txt'), 'wb') as f:
            f.write(chunk * 8)
    subprocess.run(['7z', 'a', '-bd', '-t7z', '-m0=PPMd:o=32', '-ms=on', os.path.join(os.path.abspath(out), 'slow.7z'),
                    'part-0.txt', 'part-1.txt', 'part-2.txt', 'part-3.txt'],
                   cwd=folder, check=True, stdout=subprocess.DEVNULL)


def solid(width, height, colour):
    return png_of_rows(width, height, [bytes(colour) * width] * height)


def make_gallery(out):
    files = {f'pictures/pic-{n:02d}.png': solid(200 + 3 * n, 150, ((n * 53) % 256, (n * 97 + 40) % 256, 255 - n * 5))
             for n in range(1, 41)}
    files.update({
        'pictures/badge.svg': SVG,
        'pictures/broken.png': b'These bytes are text, not a picture.\n',
        'pictures/notes.txt': b'Forty pictures, one colour each.\n',
        'pictures/more/inner.txt': b'inside\n',
    })
    files.update({f'thousands/t{n:05d}.png': solid(8, 8, (n % 256, (n // 256) * 6 % 256, 255 - n % 200))
                  for n in range(1, 10001)})
    root = os.path.join(out, 'gallery')
    write_tree(root, files)
    # Fixed times, so that the 7z archive is the same at every run.
    for folder, _, names in os.walk(os.path.join(root, 'pictures')):
        for path in [folder] + [os.path.join(folder, name) for name in names]:
            os.utime(path, (1600000000, 1600000000))
    with zipfile.ZipFile(os.path.join(out, 'gallery.zip'), 'w') as z:
        for number, path in enumerate(sorted(files)):
            z.writestr(entry(path, number), files[path])
    archive = os.path.abspath(os.path.join(out, 'gallery.7z'))
    subprocess.run(['7z', 'a', '-bd', '-t7z', '-ms=on', archive, 'pictures'], cwd=root, check=True, stdout=subprocess.DEVNULL)


NAMES_TAR = {b'bad\xff.txt': b'first of two\n', b'bad\xfe.txt': b'second of two\n',
             b'dir\xff/inner.txt': b'inside the folder\n', b'ok.txt': b'plain\n'}
JAPANESE_ZIP = {'表示/ソフト.txt': b'software\n', '能力.txt': b'ability\n', '日本語のファイル.txt': b'Japanese\n'}


class RawName(zipfile.ZipInfo):
    """A zip entry whose name goes as its bytes are, without the UTF-8 flag."""
    def _encodeFilenameFlags(self):
        return self.raw, self.flag_bits


def make_names(out):
    with tarfile.open(os.path.join(out, 'names.tar'), 'w', format=tarfile.GNU_FORMAT, encoding='utf-8',
                      errors='surrogateescape') as tar:
        for name, data in NAMES_TAR.items():
            info = tarfile.TarInfo(name.decode('utf-8', 'surrogateescape'))
            info.size = len(data)
            info.mtime = 1600000000
            tar.addfile(info, io.BytesIO(data))
    with zipfile.ZipFile(os.path.join(out, 'japanese.zip'), 'w') as z:
        for name, data in JAPANESE_ZIP.items():
            info = RawName(name, date_time=(2020, 1, 1, 0, 0, 0))
            info.raw = name.encode('cp932')
            info.create_system = 0
            z.writestr(info, data)


COMIC_PAGES = 12
COMIC_WIDE = 7
COMIC_COLOURS = [((n * 67) % 200 + 40, (n * 131) % 200 + 40, (n * 29) % 200 + 40) for n in range(1, COMIC_PAGES + 1)]


def comic_page(number):
    width, height = (600 if number == COMIC_WIDE else 300), 450
    colour = bytes(COMIC_COLOURS[number - 1])
    bar = bytes((20, 20, 20)) * 20 + colour * 10
    marks = ((bar * number) + colour * width)[:width * 3]
    rows = [marks if 10 <= y < 30 else colour * width for y in range(height)]
    return png_of_rows(width, height, rows)


def make_comic(out):
    with zipfile.ZipFile(os.path.join(out, 'comic.cbz'), 'w') as z:
        z.writestr(entry('ComicInfo.xml', 0), b'<?xml version="1.0"?>\n<ComicInfo><Title>Test comic</Title></ComicInfo>\n')
        for number in range(1, COMIC_PAGES + 1):
            z.writestr(entry(f'page-{number}.png', number), comic_page(number))
    with open(os.path.join(out, 'comic.cbz'), 'rb') as f:
        comic = f.read()
    with zipfile.ZipFile(os.path.join(out, 'shelf.zip'), 'w') as z:
        z.writestr(entry('comic.cbz', 0), comic)
        z.writestr(entry('list.txt', 1), b'One comic.\n')


if __name__ == '__main__':
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    make_sample(out)
    make_damaged(out)
    make_encrypted(out)
    make_nested(out)
    make_big(out)
    make_slow(out)
    make_gallery(out)
    make_names(out)
    make_comic(out)

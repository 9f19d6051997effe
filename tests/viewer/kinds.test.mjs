// What names and first bytes tell about an item.
import assert from 'node:assert/strict';
import test from 'node:test';
import { extensionOf, kindFromBytes, kindFromName, lookOf } from '../../HTML/js/model/kinds.mjs';

const bytes = (text) => Uint8Array.from(text, (c) => c.charCodeAt(0));

test('names: extension, kind and label', () => {
  const cases = [
    // name, extension, kind, label
    ['photo.JPG', 'jpg', 'image', 'JPEG image'],
    ['archive.tar.gz', 'gz', 'archive', 'GZ archive'],
    ['1.img', 'img', 'archive', 'IMG disk image'],
    ['disk.qcow2', 'qcow2', 'archive', 'QCOW2 disk image'],
    ['.gitignore', 'gitignore', 'text', 'Settings'],
    ['trailing.', '', null, null],
    ['Makefile', '', 'text', 'Text'],
    ['README', '', 'text', 'Text'],
    ['data.csv', 'csv', 'text', 'CSV table'],
    ['page.XHTML', 'xhtml', 'html', 'HTML page'],
    ['clip.webm', 'webm', 'video', 'WebM video'],
    ['tone.opus', 'opus', 'audio', 'Ogg audio'],
    ['main.rs', 'rs', 'code', 'RS source'],
    ['font.woff2', 'woff2', 'binary', 'WOFF2 font'],
    ['picture-without-extension', '', null, null],
  ];
  for (const [name, ext, kind, label] of cases) {
    assert.equal(extensionOf(name), ext, name);
    const found = kindFromName(name);
    assert.equal(found?.kind ?? null, kind, name);
    assert.equal(found?.label ?? null, label, name);
  }
});

test('first bytes: signatures, text, markup and binary data', () => {
  const tar = new Uint8Array(300);
  tar.set(bytes('ustar'), 257);
  const latin1 = bytes('caf\xe9 cr\xe8me br\xfbl\xe9e\n'.repeat(10));
  const cases = [
    [bytes('\x89PNG\r\n\x1a\n\0\0\0\rIHDR'), 'image', 'image/png'],
    [bytes('\xff\xd8\xff\xe0'), 'image', 'image/jpeg'],
    [bytes('RIFF\0\0\0\0WEBPVP8 '), 'image', 'image/webp'],
    [bytes('RIFF\0\0\0\0WAVEfmt '), 'audio', 'audio/wav'],
    [bytes('\0\0\0\x20ftypM4A '), 'audio', 'audio/mp4'],
    [bytes('\0\0\0\x20ftypisom'), 'video', 'video/mp4'],
    [bytes('%PDF-1.4\n'), 'pdf', 'application/pdf'],
    [bytes('PK\x03\x04\x14\0'), 'archive', ''],
    [tar, 'archive', ''],
    [bytes('\x7fELF\x02\x01'), 'binary', ''],
    [bytes('conectix\0\0\0\x02'), 'archive', ''],
    [bytes('QFI\xfb\0\0\0\x03'), 'archive', ''],
    [bytes('\0'.repeat(512) + 'EFI PART\0\0\x01\0'), 'archive', ''],
    [bytes('\xebR\x90NTFS    \0'), 'archive', ''],
    [bytes('\0'.repeat(510) + '\x55\xaa'), 'archive', ''],
    [bytes('  <?xml version="1.0"?>\n<svg xmlns="http://www.w3.org/2000/svg"/>'), 'image', 'image/svg+xml'],
    [bytes('<!DOCTYPE html><title>x</title>'), 'html', 'text/html'],
    [bytes('#!/bin/sh\necho hi\n'), 'code', 'text/plain'],
    [new TextEncoder().encode('naïve café 日本語\n'), 'text', 'text/plain'],
    [latin1, 'text', 'text/plain'],
    [bytes('text\0with a zero byte'), 'binary', ''],
    // Not UTF-8, and too many control characters for text in an older encoding.
    [Uint8Array.from({ length: 200 }, (_, i) => (i % 2 ? 0x81 : 1 + i % 8)), 'binary', ''],
  ];
  for (const [head, kind, mime] of cases) {
    const found = kindFromBytes(head);
    assert.deepEqual([found.kind, found.mime], [kind, mime], found.label);
  }
});

test('looks: folders, known kinds, sniffed kinds and unknown files', () => {
  assert.deepEqual(lookOf({ name: 'src', folder: {} }), { icon: 'folder', kind: 'folder', label: 'Folder' });
  assert.deepEqual(lookOf({ name: 'a.pdf', folder: null }), { icon: 'pdf', kind: 'pdf', label: 'PDF document' });
  // The name wins over the bytes; bytes tell only what the name does not.
  assert.deepEqual(lookOf({ name: 'a.pdf', folder: null }, kindFromBytes(bytes('GIF89a'))).kind, 'pdf');
  assert.deepEqual(lookOf({ name: 'blob', folder: null }, kindFromBytes(bytes('GIF89a'))), { icon: 'image', kind: 'image', label: 'GIF image' });
  assert.deepEqual(lookOf({ name: 'thing.xyz', folder: null }), { icon: 'doc', kind: 'unknown', label: 'XYZ file' });
  assert.deepEqual(lookOf({ name: 'thing', folder: null }), { icon: 'doc', kind: 'unknown', label: 'File' });
});

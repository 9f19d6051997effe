// Bytes made readable: decoding, lines and the hexadecimal dump.
import assert from 'node:assert/strict';
import test from 'node:test';
import { decodeText, hexDump, splitLines } from '../../HTML/js/model/text.mjs';

const utf8 = (text) => new TextEncoder().encode(text);

test('text in its encoding, with a character cut at the end of a part dropped', () => {
  const euro = utf8('price: 5 €');
  const cases = [
    // bytes, cut short, text, encoding
    [utf8('naïve café 日本語'), false, 'naïve café 日本語', 'UTF-8'],
    [Uint8Array.of(0xff, 0xfe, 0x68, 0, 0x69, 0, 0x3d, 0xd8, 0x0d, 0xde), false, 'hi😍', 'UTF-16 LE'],
    [Uint8Array.of(0xfe, 0xff, 0, 0x68, 0, 0x69), false, 'hi', 'UTF-16 BE'],
    [Uint8Array.of(0x63, 0x61, 0x66, 0xe9, 0x20, 0xe0, 0x20, 0xfb), false, 'café à û', 'Windows-1252'],
    [euro.subarray(0, euro.length - 1), true, 'price: 5 ', 'UTF-8'],
    [Uint8Array.of(0xff, 0xfe, 0x68, 0, 0x69), true, 'h', 'UTF-16 LE'],
  ];
  for (const [bytes, partial, text, encoding] of cases) {
    assert.deepEqual(decodeText(bytes, partial), { text, encoding }, text);
  }
  // The same cut bytes, not said to be cut, are not UTF-8.
  assert.equal(decodeText(euro.subarray(0, euro.length - 1)).encoding, 'Windows-1252');
});

test('lines at any kind of break, with no empty line after the last break', () => {
  const cases = [
    ['', ['']], ['one', ['one']], ['one\n', ['one']], ['one\n\n', ['one', '']],
    ['a\r\nb\rc\nd', ['a', 'b', 'c', 'd']], ['\n', ['']], ['\n\n', ['', '']],
  ];
  for (const [text, lines] of cases) assert.deepEqual(splitLines(text), lines, JSON.stringify(text));
});

test('hexadecimal dump: offsets, bytes in two groups of eight, printable characters', () => {
  const bytes = Uint8Array.from({ length: 20 }, (_, i) => (i === 3 ? 0x7f : 0x41 + i));
  assert.deepEqual(hexDump(bytes), {
    offsets: '00000000\n00000010\n',
    hex: '41 42 43 7f 45 46 47 48  49 4a 4b 4c 4d 4e 4f 50\n51 52 53 54\n',
    ascii: 'ABC·EFGHIJKLMNOP\nQRST\n',
  });
  assert.deepEqual(hexDump(new Uint8Array(0)), { offsets: '', hex: '', ascii: '' });
});

// Bytes made readable: text in its encoding, split into lines, and bytes that are
// not text as a hexadecimal dump.

// Text in UTF-8 or, with a byte order mark, UTF-16; bytes that are not UTF-8
// are read as Windows-1252, the most common older encoding. `partial` says that
// the bytes are cut short, so a character cut in two at the end is dropped.
export function decodeText(bytes, partial = false) {
  const decode = (encoding, options) => new TextDecoder(encoding, options).decode(bytes, { stream: partial });
  if (bytes[0] === 0xff && bytes[1] === 0xfe) return { text: decode('utf-16le'), encoding: 'UTF-16 LE' };
  if (bytes[0] === 0xfe && bytes[1] === 0xff) return { text: decode('utf-16be'), encoding: 'UTF-16 BE' };
  try {
    return { text: decode('utf-8', { fatal: true }), encoding: 'UTF-8' };
  } catch {
    return { text: decode('windows-1252'), encoding: 'Windows-1252' };
  }
}

// Lines split at any kind of line break; a break at the end starts no line.
export function splitLines(text) {
  const lines = text.split(/\r\n|\r|\n/);
  if (lines.length > 1 && lines[lines.length - 1] === '') lines.pop();
  return lines;
}

// Sixteen bytes a line: their offsets, their values in hexadecimal (a wider gap
// after the eighth) and the printable ones as characters, each column a string.
export function hexDump(bytes) {
  let offsets = '', hex = '', ascii = '';
  for (let at = 0; at < bytes.length; at += 16) {
    offsets += at.toString(16).padStart(8, '0') + '\n';
    let h = '', a = '';
    for (let i = 0; i < 16; i++) {
      if (at + i < bytes.length) {
        const b = bytes[at + i];
        h += b.toString(16).padStart(2, '0') + ' ';
        a += b >= 0x20 && b < 0x7f ? String.fromCharCode(b) : '·';
      } else h += '   ';
      if (i === 7) h += ' ';
    }
    hex += h.trimEnd() + '\n';
    ascii += a + '\n';
  }
  return { offsets, hex, ascii };
}

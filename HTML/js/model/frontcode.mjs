// The list of a selection as the server takes it: addresses in byte order, one
// a line, each line "<N>:<rest>" where N is how many leading bytes it shares
// with the line before (0 on the first) and rest the bytes that follow. Sorted
// addresses share long prefixes (their folders), so a hundred thousand of them
// fit in well under the 1 MiB that the server reads.

const compareBytes = (a, b) => {
  const n = Math.min(a.length, b.length);
  for (let i = 0; i < n; i++) if (a[i] !== b[i]) return a[i] - b[i];
  return a.length - b.length;
};

// The body for a list of addresses (strings), as UTF-8 bytes.
export function frontCode(addresses) {
  const encoder = new TextEncoder();
  const sorted = addresses.map((address) => encoder.encode(address)).sort(compareBytes);
  const parts = [];
  let size = 0, previous = new Uint8Array(0);
  for (const bytes of sorted) {
    let shared = 0;
    const n = Math.min(bytes.length, previous.length);
    while (shared < n && bytes[shared] === previous[shared]) shared++;
    const head = encoder.encode((parts.length ? '\n' : '') + shared + ':');
    const rest = bytes.subarray(shared);
    parts.push(head, rest);
    size += head.length + rest.length;
    previous = bytes;
  }
  const body = new Uint8Array(size);
  let at = 0;
  for (const part of parts) { body.set(part, at); at += part.length; }
  return body;
}

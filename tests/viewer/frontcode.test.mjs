// The selection's body: front-coded addresses, checked against a decoder
// written from the format's definition, and small enough for the server's
// 1 MiB at a hundred thousand realistic names.
import assert from 'node:assert/strict';
import test from 'node:test';
import { frontCode } from '../../HTML/js/model/frontcode.mjs';

// Each line "<N>:<rest>": the first N bytes of the previous address, then rest.
function decode(bytes) {
  const lines = [];
  let previous = new Uint8Array(0), start = 0;
  for (let i = 0; i <= bytes.length; i++) {
    if (i < bytes.length && bytes[i] !== 0x0a) continue;
    const line = bytes.subarray(start, i);
    const colon = line.indexOf(0x3a);
    assert.ok(colon > 0, 'a line without its count');
    const shared = Number(new TextDecoder().decode(line.subarray(0, colon)));
    assert.ok(Number.isInteger(shared) && shared <= previous.length, 'a count beyond the previous address');
    const address = new Uint8Array(shared + line.length - colon - 1);
    address.set(previous.subarray(0, shared));
    address.set(line.subarray(colon + 1), shared);
    lines.push(address);
    previous = address;
    start = i + 1;
  }
  return lines.map((a) => new TextDecoder().decode(a));
}

test('addresses go in byte order, each sharing what it can with the one before', () => {
  const text = (addresses) => new TextDecoder().decode(frontCode(addresses));
  assert.equal(text(['docs/b.txt', 'docs', 'docs/a.txt', 'src/main.c']), '0:docs\n4:/a.txt\n5:b.txt\n0:src/main.c');
  assert.equal(text(['a%20b', 'a', 'a%2Fb', 'B']), '0:B\n0:a\n1:%20b\n3:Fb', 'byte order: upper case first, "%" before letters');
  assert.equal(text(['only']), '0:only');
  assert.equal(frontCode([]).length, 0);
  const tricky = ['x/1:2', 'x/10', 'x/1', '9:9', 'x/%E6%97%A5', 'x/%E6%97%A5/%E6%9C%AC'];
  assert.deepEqual(decode(frontCode(tricky)), [...tricky].sort(), 'colons and digits in names decode back');
});

test('a hundred thousand photo names fit in 1 MiB and decode back', () => {
  const addresses = [];
  for (let trip = 0; trip < 100; trip++) {
    const folder = `Photos/${2010 + (trip % 14)}/${String(trip).padStart(3, '0')}%20Holiday%20in%20Lisbon`;
    for (let n = 0; n < 1000; n++) addresses.push(`${folder}/IMG_${String(20000 + trip * 1000 + n)}${n % 7 ? '.JPG' : '.MOV'}`);
  }
  const body = frontCode(addresses);
  const plain = addresses.reduce((sum, a) => sum + a.length + 1, 0);
  assert.ok(body.length < 1024 * 1024, `${body.length} bytes`);
  assert.ok(body.length * 4 < plain, `${body.length} of ${plain} bytes`);
  assert.deepEqual(decode(body), [...addresses].sort());
});

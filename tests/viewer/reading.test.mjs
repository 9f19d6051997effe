// The figures of a long first read: the words the console uses, and the
// NDJSON stream followed until the archive is served.
import assert from 'node:assert/strict';
import test from 'node:test';
import { followReading, readingShare, readingText, PROGRESS_URL } from '../../HTML/js/net/reading.mjs';

test('the figures in the console\'s words', () => {
  const table = [
    [0, 700e6, 0, 'reading t.tar.gz: 0.0 of 700.0 MB'],
    [0, 700e6, 3000, 'reading t.tar.gz: 0.0 of 700.0 MB'],
    [100e6, 700e6, 1000, 'reading t.tar.gz: 100.0 of 700.0 MB, 100.0 MB/s, 6 s left'],
    [350e6, 700e6, 4000, 'reading t.tar.gz: 350.0 of 700.0 MB, 87.5 MB/s, 4 s left'],
    [700e6, 700e6, 7000, 'reading t.tar.gz: 700.0 of 700.0 MB, 100.0 MB/s, 0 s left'],
    [1e6, 0.5e6, 1000, 'reading t.tar.gz: 1.0 of 0.5 MB, 1.0 MB/s, 0 s left'],
  ];
  for (const [bytes, total, ms, text] of table)
    assert.equal(readingText({ name: 't.tar.gz', bytes, of_bytes: total, ms }), text);
  assert.equal(readingShare({ bytes: 350, of_bytes: 700 }), 0.5);
  assert.equal(readingShare({ bytes: 9, of_bytes: 0 }), 0);
  assert.equal(readingShare({ bytes: 9, of_bytes: 3 }), 1);
});

// A reply whose body comes in the given pieces.
function replyOf(pieces, status = 200) {
  const encoder = new TextEncoder();
  const body = new ReadableStream({
    start(controller) {
      for (const piece of pieces) controller.enqueue(encoder.encode(piece));
      controller.close();
    },
  });
  return new Response(body, { status });
}

test('the figures are followed until the archive is served, lines split anywhere', async () => {
  const asked = [];
  const fetch = async (url) => {
    asked.push(url);
    return replyOf(['{"reading":{"name":"a","bytes":1,"of_by', 'tes":4,"ms":5}}\n{"reading":{"name":"a","bytes":4,"of_bytes":4,"ms":9}}\n',
      '{"ready":true}\n', '{"reading":{"name":"never","bytes":0,"of_bytes":1,"ms":0}}\n']);
  };
  const seen = [];
  await followReading((figures) => seen.push(figures), { fetch });
  assert.deepEqual(asked, [PROGRESS_URL]);
  assert.deepEqual(seen, [{ name: 'a', bytes: 1, of_bytes: 4, ms: 5 }, { name: 'a', bytes: 4, of_bytes: 4, ms: 9 }]);
});

test('a server without the figures, or a failing fetch, ends quietly', async () => {
  const seen = [];
  await followReading((f) => seen.push(f), { fetch: async () => replyOf(['not found'], 404) });
  await followReading((f) => seen.push(f), { fetch: async () => { throw new TypeError('network'); } });
  assert.deepEqual(seen, []);
});

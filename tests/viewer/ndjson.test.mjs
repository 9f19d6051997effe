// Streamed NDJSON replies: lines read whole however the body is cut, and a run
// that hands on what arrives, says why a request was refused, and stops.
import assert from 'node:assert/strict';
import test from 'node:test';
import { NdjsonRun, ndjsonLines } from '../../HTML/js/net/ndjson.mjs';

const encoder = new TextEncoder();

// A body that sends `text` in pieces of `size` bytes, then waits for `hold`
// (when given) before it ends.
function body(text, size, hold = null) {
  const bytes = encoder.encode(text);
  return new ReadableStream({
    async start(controller) {
      for (let at = 0; at < bytes.length; at += size) controller.enqueue(bytes.subarray(at, at + size));
      if (hold) await hold;
      controller.close();
    },
  });
}

test('NDJSON is read whole lines at a time, however the body is cut', async () => {
  const text = '{"progress":{"items":0}}\n{"item":"é.txt","result":"crc"}\n\n{"done":{"bad":1}}\n{"cut":';
  for (const size of [1, 2, 5, 64]) {
    const seen = [];
    for await (const message of ndjsonLines(body(text, size))) seen.push(message);
    assert.deepEqual(seen, [{ progress: { items: 0 } }, { item: 'é.txt', result: 'crc' }, { done: { bad: 1 } }], `pieces of ${size}`);
  }
});

test('a run hands on each object, reports a refusal in the server\'s words, and stops when asked', async () => {
  const cases = [
    { name: 'whole reply', reply: () => new Response(body('{"a":1}\n{"b":2}\n', 3)), seen: [{ a: 1 }, { b: 2 }], failure: null },
    { name: 'refused with text', reply: () => new Response('no such folder\n', { status: 404 }), seen: [], failure: 'no such folder' },
    { name: 'refused without text', reply: () => new Response('', { status: 503 }), seen: [], failure: 'failed 503' },
    { name: 'server gone', reply: () => Promise.reject(new TypeError('fetch failed')), seen: [], failure: 'fetch failed' },
  ];
  for (const c of cases) {
    const seen = [], failures = [], asked = [];
    const run = new NdjsonRun({
      onMessage: (m) => seen.push(m), onFail: (e) => failures.push(e.message), failed: (status) => `failed ${status}`,
      fetch: (url, options) => { asked.push([url, options.headers]); return c.reply(); },
    });
    await run.start('/ArchiveContent?test', { 'X-Archive-Password': 'p' });
    assert.deepEqual(seen, c.seen, c.name);
    assert.deepEqual(failures, c.failure ? [c.failure] : [], c.name);
    assert.deepEqual(asked, [['/ArchiveContent?test', { 'X-Archive-Password': 'p' }]], c.name);
    assert.equal(run.running, false, c.name);
  }
  // Stopped mid-reply: nothing more is handed on, no failure is reported, and the request's signal is aborted.
  let signal = null, release;
  const hold = new Promise((resolve) => { release = resolve; });
  const seen = [], failures = [];
  const run = new NdjsonRun({
    onMessage: (m) => { seen.push(m); run.stop(); }, onFail: (e) => failures.push(e),
    fetch: (url, options) => { signal = options.signal; return Promise.resolve(new Response(body('{"n":1}\n{"n":2}\n', 100, hold))); },
  });
  const started = run.start('/x');
  await new Promise((resolve) => setTimeout(resolve, 20));
  release();
  await started;
  assert.deepEqual(seen, [{ n: 1 }]);
  assert.deepEqual(failures, []);
  assert.equal(signal.aborted, true);
});

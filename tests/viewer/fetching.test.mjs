// Fetching from the server: the listing with details or without, item heads
// and whole items. A fake fetch stands in for the server, answering as it does.
import assert from 'node:assert/strict';
import test from 'node:test';
import { FetchFailure, ItemStore, PASSWORD_HEADER, SNIFF_BYTES, sizeFromReply } from '../../HTML/js/net/items.mjs';
import { DETAILS_URL, loadListing } from '../../HTML/js/net/listing.mjs';

const plain = { name: 'ArchiveContent', SubDirectories: [{ name: 'docs', SubDirectories: [], files: ['a.txt'] }], files: ['b.bin'] };
const details = {
  name: 'ArchiveContent', archive: { name: 'x.7z', size: 99 },
  SubDirectories: [{ name: 'docs', SubDirectories: [], files: [{ name: 'a.txt', size: 5 }] }], files: [{ name: 'b.bin', size: 7 }],
};
const json = (value) => () => new Response(JSON.stringify(value), { headers: { 'Content-Type': 'application/json' } });
const status = (code, body = '') => () => new Response(body, { status: code });
const refused = () => { throw new TypeError('Failed to fetch'); };

// A fetch that answers each address from the table and records what was asked.
function server(table) {
  const asked = [];
  const fetch = async (url, options = {}) => {
    asked.push(options.headers?.Range ? `${url} ${options.headers.Range}` : url);
    if (options.signal?.aborted) throw new DOMException('aborted', 'AbortError');
    const answer = table[url];
    if (!answer) return new Response('Not Found', { status: 404 });
    return answer(options);
  };
  return { fetch, asked };
}

test('the listing with details first, the names alone from a server that does not send it', async () => {
  const cases = [
    // what the details address answers, what the plain one does; then details or not, the addresses asked
    ['details', json(details), json(plain), true, [DETAILS_URL]],
    ['the plain listing', json(plain), refused, false, [DETAILS_URL]],
    ['not found', status(404, '<h1>404 Not Found</h1>'), json(plain), false, [DETAILS_URL, '/ArchiveContent']],
    ['a page', status(200, '<html>Vorsel</html>'), json(plain), false, [DETAILS_URL, '/ArchiveContent']],
    ['JSON of another shape', json({ error: 'no' }), json(plain), false, [DETAILS_URL, '/ArchiveContent']],
    ['no answer', refused, json(plain), false, [DETAILS_URL, '/ArchiveContent']],
  ];
  for (const [what, first, second, detailed, asked] of cases) {
    const fake = server({ [DETAILS_URL]: first, '/ArchiveContent': second });
    const listing = await loadListing(fake.fetch);
    assert.equal(listing.detailed, detailed, what);
    assert.deepEqual(listing.root.list('name').map((e) => [e.name, e.size]), detailed ? [['docs', 5], ['b.bin', 7]] : [['docs', null], ['b.bin', null]], what);
    assert.deepEqual(fake.asked, asked, what);
  }
  // When the names cannot be had either, the reason is said in plain words.
  const failures = [
    [refused, /did not answer/], [status(503), /status 503/], [status(200, '{"files": ['), /not valid JSON/], [json([]), /expected shape/],
  ];
  for (const [answer, message] of failures) {
    await assert.rejects(loadListing(server({ '/ArchiveContent': answer }).fetch), message);
  }
});

test('an item’s size from a reply to a range request', () => {
  const reply = (code, headers) => new Response(null, { status: code, headers });
  assert.equal(sizeFromReply(reply(206, { 'Content-Range': 'bytes 0-4095/123456', 'Content-Length': '4096' })), 123456);
  assert.equal(sizeFromReply(reply(200, { 'Content-Length': '77' })), 77);
  assert.equal(sizeFromReply(reply(206, { 'Content-Range': 'bytes 0-4095/*' })), null);
  assert.equal(sizeFromReply(reply(200, {})), null);
});

test('heads and whole items: sizes learnt, kinds sniffed, bytes kept, failures said', async () => {
  const big = new Uint8Array(10000).map((_, i) => i % 251);
  big.set([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
  const small = new TextEncoder().encode('hello\n');
  const fake = server({
    // A server that honours ranges, one that sends the whole item anyway, and an empty item.
    '/ArchiveContent/big': ({ headers }) => (headers?.Range
      ? new Response(big.slice(0, SNIFF_BYTES), { status: 206, headers: { 'Content-Range': `bytes 0-${SNIFF_BYTES - 1}/${big.length}` } })
      : new Response(big)),
    '/ArchiveContent/small': () => new Response(small),
    '/ArchiveContent/empty': ({ headers }) => new Response(null, { status: headers?.Range ? 416 : 200 }),
    '/ArchiveContent/broken': status(500),
    '/ArchiveContent/crc': status(500, 'The item crc.bin could not be extracted: its data does not match its checksum: the archive is damaged (CRC Failed).\n'),
    '/ArchiveContent/changed': status(409, 'The archive changed on disk after it was opened.\n'),
    '/ArchiveContent/odd': status(418),
  });
  const learnt = [];
  const store = new ItemStore({ fetch: fake.fetch, onLearn: (url) => learnt.push(url) });

  // The kind from the first bytes, asked once; the size from the range's reply.
  assert.equal((await store.sniff('/ArchiveContent/big')).label, 'PNG image');
  assert.equal((await store.sniff('/ArchiveContent/big')).label, 'PNG image');
  assert.equal(store.sizes.get('/ArchiveContent/big'), big.length);
  const whole = await store.fetchItem('/ArchiveContent/big');
  assert.deepEqual(whole, big);
  // Kept: asked again, it comes without a request, and so does its head.
  assert.equal(await store.fetchItem('/ArchiveContent/big'), whole);
  const head = await store.fetchHead('/ArchiveContent/big');
  assert.deepEqual([head.bytes, head.size], [big.subarray(0, SNIFF_BYTES), big.length]);
  assert.deepEqual(fake.asked, ['/ArchiveContent/big bytes=0-4095', '/ArchiveContent/big']);

  // An item smaller than a head is whole once its head is in.
  assert.deepEqual((await store.fetchHead('/ArchiveContent/small')).bytes, small);
  assert.deepEqual(await store.fetchItem('/ArchiveContent/small'), small);
  assert.equal(await store.sniff('/ArchiveContent/empty'), null);
  assert.equal(store.sizes.get('/ArchiveContent/empty'), 0);
  assert.equal(fake.asked.length, 4);
  assert.deepEqual(learnt, ['/ArchiveContent/big', '/ArchiveContent/big', '/ArchiveContent/big', '/ArchiveContent/small', '/ArchiveContent/empty']);

  const failures = [['/ArchiveContent/broken', 500, /could not extract/], ['/ArchiveContent/none', 404, /no item under this name/],
    // The server's own sentence, which names the item and the cause, is said as it is.
    ['/ArchiveContent/crc', 500, /^The item crc\.bin could not be extracted: .* \(CRC Failed\)\.$/],
    ['/ArchiveContent/changed', 409, /^The archive changed on disk after it was opened\.$/],
    ['/ArchiveContent/odd', 418, /status 418/]];
  for (const [url, code, message] of failures) {
    await assert.rejects(store.fetchItem(url), (error) => error instanceof FetchFailure && error.status === code && message.test(error.message));
  }
  const offline = new ItemStore({ fetch: refused });
  await assert.rejects(offline.fetchHead('/ArchiveContent/big'), (error) => error.status === 0 && /did not answer/.test(error.message));
  const stopped = new AbortController();
  stopped.abort();
  await assert.rejects(store.fetchItem('/ArchiveContent/small2', { signal: stopped.signal }), { name: 'AbortError' });
});

test('an encrypted item: the password is asked once, sent in its header only, and kept', async () => {
  const secret = 'pä ss+%/word';
  const asked = [];
  const fetch = async (url, options = {}) => {
    const given = options.headers?.[PASSWORD_HEADER];
    asked.push({ url, given });
    if (given !== encodeURIComponent(secret)) return new Response(given == null ? 'needs a password' : 'wrong', { status: 401 });
    return new Response(`bytes of ${url}`);
  };
  const questions = [];
  const answers = ['wrong one', secret];
  let given = 0;
  const store = new ItemStore({ fetch, askPassword: async (question) => { questions.push(question); return answers.shift(); }, onPassword: () => given++ });
  // Two requests at once wait for one question.
  const [a, b] = await Promise.all([store.fetchItem('/ArchiveContent/a.txt'), store.fetchItem('/ArchiveContent/b.txt')]);
  assert.equal(new TextDecoder().decode(a), 'bytes of /ArchiveContent/a.txt');
  assert.equal(new TextDecoder().decode(b), 'bytes of /ArchiveContent/b.txt');
  assert.deepEqual(questions, [{ wrong: false }, { wrong: true }]);
  // Kept: the next item goes with it at once; the address never holds it.
  await store.fetchItem('/ArchiveContent/c.txt');
  assert.deepEqual(asked.at(-1), { url: '/ArchiveContent/c.txt', given: encodeURIComponent(secret) });
  assert.ok(asked.every(({ url }) => !url.includes('word')));
  assert.equal(questions.length, 2);
  assert.equal(given, 2);
  // The items that answered 401 are known as encrypted, for downloads that must send the password.
  assert.deepEqual(['/ArchiveContent/a.txt', '/ArchiveContent/c.txt'].map((url) => store.isEncrypted(url)), [true, false]);
  assert.equal(store.isEncrypted('/ArchiveContent/c.txt', { encrypted: true }), true);
  // Saving a kept item takes its bytes without a request; another goes with the password.
  const requests = asked.length;
  assert.equal(await (await store.fetchBlob('/ArchiveContent/a.txt')).text(), 'bytes of /ArchiveContent/a.txt');
  assert.equal(asked.length, requests);
  assert.equal(await (await store.fetchBlob('/ArchiveContent/d.txt')).text(), 'bytes of /ArchiveContent/d.txt');
  assert.deepEqual(asked.at(-1), { url: '/ArchiveContent/d.txt', given: encodeURIComponent(secret) });
});

test('an encrypted item whose password the user declines fails with 401, and no question without a dialog', async () => {
  const fetch = async () => new Response('needs a password', { status: 401 });
  for (const [askPassword, questions] of [[async () => null, 1], [null, 0]]) {
    let count = 0;
    const store = new ItemStore({ fetch, askPassword: askPassword && (async (q) => { count++; return askPassword(q); }) });
    await assert.rejects(store.fetchItem('/ArchiveContent/x.bin'), (error) => error instanceof FetchFailure && error.status === 401);
    assert.equal(count, questions);
  }
});

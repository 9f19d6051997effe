// The contents search's pieces that need no browser: addresses, the hash,
// highlighting by byte ranges and grouping.
import assert from 'node:assert/strict';
import test from 'node:test';
import { ResultGroups, matchedPieces, readSearchHash, searchHash, searchUrl } from '../../HTML/js/net/contentsearch.mjs';

test('the address of a search and the search in the page address round-trip', () => {
  assert.equal(searchUrl('/ArchiveContent', { pattern: 'a b&c' }), '/ArchiveContent?search=a+b%26c');
  assert.equal(searchUrl('/ArchiveContent/x.zip', { pattern: '\\bm\\(', regex: true, caseSensitive: true, folder: 'src/j' }),
    '/ArchiveContent/x.zip?search=%5Cbm%5C%28&regex=1&case=1&in=src%2Fj');
  for (const terms of [{ pattern: 'TODO', regex: false, caseSensitive: false }, { pattern: 'a+b #?/é', regex: true, caseSensitive: true }])
    assert.deepEqual(readSearchHash(searchHash(terms)), terms);
  assert.equal(readSearchHash('#/docs/readme.txt'), null);
  assert.equal(readSearchHash('#?search='), null);
});

test('byte ranges into UTF-8 text become pieces of the JavaScript string', () => {
  assert.deepEqual(matchedPieces('Café TODO', [[6, 10]]), ['Café ', 'TODO', '']);
  assert.deepEqual(matchedPieces('\ufffd todo todo', [[4, 8], [9, 13]]), ['\ufffd ', 'todo', ' ', 'todo', '']);
  assert.deepEqual(matchedPieces('日本語', [[3, 6]]), ['日', '本', '語']);
  assert.deepEqual(matchedPieces('short', [[2, 99], [1, 0]]), ['short'], 'ranges outside the text are left out');
});

test('results are grouped by item in the order found', () => {
  const groups = new ResultGroups();
  groups.add({ item: 'b.c', line: 3, text: 'x', ranges: [] });
  groups.add({ item: 'a.c', address: 'a\u{ef80}.c', line: 1, text: 'y', ranges: [] });
  groups.add({ item: 'b.c', line: 9, text: 'z', ranges: [] });
  assert.deepEqual(groups.items.map((g) => [g.item, g.address, g.hits.map((h) => h.line)]), [['b.c', 'b.c', [3, 9]], ['a.c', 'a\u{ef80}.c', [1]]]);
  assert.deepEqual(groups.rows().map((r) => r.hit ? r.hit.line : r.group.item), ['b.c', 3, 9, 'a.c', 1]);
  assert.equal(groups.lines, 3);
});

// The filter: every name in the archive, searched by words.
import assert from 'node:assert/strict';
import test from 'node:test';
import { SearchIndex, matchPieces } from '../../HTML/js/model/search.mjs';
import { buildTree } from '../../HTML/js/model/tree.mjs';

const where = (entry) => [...entry.parent.path(), entry.name].join('/');

function sampleTree(extra = 0) {
  return buildTree({
    SubDirectories: [
      { name: 'docs', SubDirectories: [{ name: 'guides', SubDirectories: [], files: ['Guide-2.md', 'guide-10.md'] }], files: ['my guide.txt', 'changelog'] },
      { name: 'Guides old', SubDirectories: [], files: Array.from({ length: extra }, (_, i) => `entry-${extra - i}.dat`) },
    ],
    files: ['guide.md', 'README'],
  }).root;
}

test('hits hold every word in any case; names that start with the first word come first', () => {
  const index = new SearchIndex(sampleTree());
  const cases = [
    // Leading hits, then the others, each in the order of the folder tree: a
    // folder's own names (its folders first), then those of its folders.
    ['guide', ['Guides old', 'guide.md', 'docs/guides', 'docs/guides/Guide-2.md', 'docs/guides/guide-10.md', 'docs/my guide.txt']],
    ['GUIDE .MD', ['guide.md', 'docs/guides/Guide-2.md', 'docs/guides/guide-10.md']],
    ['  md   guide ', ['guide.md', 'docs/guides/Guide-2.md', 'docs/guides/guide-10.md']],
    ['log', ['docs/changelog']],
    ['nothing like it', []],
    ['   ', []],
  ];
  for (const [query, expected] of cases) {
    const hits = index.search(query).map((position) => where(index.entry(position)));
    assert.deepEqual(hits, expected, JSON.stringify(query));
  }
  assert.equal(index.size, 9);
});

test('a large index is made in the listing’s order and put into name order bit by bit', () => {
  const index = new SearchIndex(sampleTree(30000));
  const hits = () => index.search('entry-1').map((position) => index.entry(position).name);
  const listed = hits();
  assert.equal(listed[0], 'entry-19999.dat');
  let rounds = 0;
  while (index.sortSome(() => rounds++ % 2 === 0)) { /* one folder a round */ }
  const sorted = hits();
  assert.deepEqual(sorted.slice(0, 3), ['entry-1.dat', 'entry-10.dat', 'entry-11.dat']);
  assert.deepEqual([...sorted].sort(), [...listed].sort());
  assert.ok(rounds > 2);
  // Entries are the folder's own, whatever the order of the index.
  const folder = sampleTree().folder('docs');
  const small = new SearchIndex(folder.parent);
  assert.equal(small.entry(small.search('my guide')[0]), folder.list('name').find((e) => e.name === 'my guide.txt'));
});

test('names cut into unmatched and matched pieces, for highlighting', () => {
  const cases = [
    ['guide.md', 'guide', ['', 'guide', '.md']],
    ['My Guide to guides', 'guide', ['My ', 'Guide', ' to ', 'guide', 's']],
    ['file10.png', 'FILE .png', ['', 'file', '10', '.png']],
    ['aaaa', 'aa', ['', 'aaaa']],
    ['overlap', 'verl erla', ['o', 'verla', 'p']],
    ['nothing', 'zz', ['nothing']],
    ['İstanbul', 'stan', ['İstanbul']],   // lower case is longer: shown unmarked
    ['x', '  ', ['x']],
  ];
  for (const [name, query, pieces] of cases) assert.deepEqual(matchPieces(name, query), pieces, `${name} / ${query}`);
});

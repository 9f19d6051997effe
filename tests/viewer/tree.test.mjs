// The archive's folders built from the listing, their orders, and the places in
// the page's address that lead to them.
import assert from 'node:assert/strict';
import test from 'node:test';
import { hashFor, itemUrl, partsOf, placeHash, resolve } from '../../HTML/js/model/places.mjs';
import { buildTree } from '../../HTML/js/model/tree.mjs';

const names = (folder, mode) => folder.list(mode).map((entry) => entry.name);

test('a listing of names: folders, files, lookups and counts; what is malformed is skipped', () => {
  const { root, stats, archive, detailed } = buildTree({
    name: 'ArchiveContent',
    SubDirectories: [
      { name: 'docs', SubDirectories: [{ name: 'deep', SubDirectories: [], files: ['x.txt'] }], files: ['a.md', 'b.md'] },
      { name: 'no arrays' },
      null, 'not a folder', { SubDirectories: [], files: ['nameless folder'] },
    ],
    files: ['README', 42, 'LICENSE'],
  });
  assert.deepEqual({ stats, archive, detailed }, { stats: { folders: 3, files: 5, bytes: null }, archive: null, detailed: false });
  assert.deepEqual(names(root, 'name'), ['docs', 'no arrays', 'LICENSE', 'README']);
  const deep = root.folder('docs').folder('deep');
  assert.deepEqual(deep.path(), ['docs', 'deep']);
  assert.ok(deep.hasFile('x.txt') && !deep.hasFile('y.txt') && !root.hasFile('docs'));
  assert.equal(root.folder('docs').entryCount, 3);
  assert.equal(root.list('name')[0].size, null);
  for (const bad of [null, [], 'text', {}, { SubDirectories: {}, files: [] }, { SubDirectories: [] }]) {
    assert.throws(() => buildTree(bad), /expected shape/, JSON.stringify(bad));
  }
});

test('orders: folders first; natural names, type, size and date', () => {
  const file = (name, size, modified) => ({ name, size, modified });
  const { root } = buildTree({
    SubDirectories: [
      { name: 'zeta', SubDirectories: [], files: [file('big', 900, '2020-01-01T00:00:00Z')], modified: '2024-01-01T00:00:00Z' },
      { name: 'Alpha', SubDirectories: [], files: [file('small', 5, '2020-01-01T00:00:00Z')] },
    ],
    files: [
      file('file10.png', 10, '2023-05-01T10:00:00Z'), file('file2.png', 300, '2021-01-01T00:00:00Z'),
      file('File1.txt', 300, '2024-02-29T12:00:00Z'), file('a01.txt', null, 'not a date'), file('a1.txt', 7),
      file('n100000000000000000000.c', 1, '2022-01-01T00:00:00Z'), file('n99.c', 2, '2022-01-01T00:00:00Z'),
      file('Makefile', 4, '2019-01-01T00:00:00Z'),
    ],
  });
  const orders = {
    // A number's leading zeros count only between names that are otherwise the same.
    name: ['Alpha', 'zeta', 'a01.txt', 'a1.txt', 'File1.txt', 'file2.png', 'file10.png', 'Makefile', 'n99.c', 'n100000000000000000000.c'],
    type: ['Alpha', 'zeta', 'Makefile', 'n99.c', 'n100000000000000000000.c', 'file2.png', 'file10.png', 'a01.txt', 'a1.txt', 'File1.txt'],
    // Largest first, ties by name, unknown sizes last; folders by the size of what they hold.
    size: ['zeta', 'Alpha', 'File1.txt', 'file2.png', 'file10.png', 'a1.txt', 'Makefile', 'n99.c', 'n100000000000000000000.c', 'a01.txt'],
    // Newest first, unknown dates last; a folder's date is its own.
    date: ['zeta', 'Alpha', 'File1.txt', 'file10.png', 'n99.c', 'n100000000000000000000.c', 'file2.png', 'Makefile', 'a01.txt', 'a1.txt'],
  };
  for (const [mode, expected] of Object.entries(orders)) assert.deepEqual(names(root, mode), expected, mode);
  // The tree lists sub-folders by name whatever the order of the list.
  assert.deepEqual(root.subfolders().map((f) => f.name), ['Alpha', 'zeta']);
});

test('details: sizes, dates and checksums of files, totals of folders at any depth, the archive', () => {
  const { root, stats, archive, detailed } = buildTree({
    archive: { name: 'photos 2024.7z', size: 123456 },
    SubDirectories: [{
      name: 'a', modified: '2024-05-06T07:08:09Z',
      SubDirectories: [{ name: 'b', SubDirectories: [], files: [{ name: 'deep.bin', size: 1000 }] }],
      files: [{ name: 'one.txt', size: 20, packedSize: 9, modified: '2024-01-02T03:04:05Z', crc: '0a1b2c3d', encrypted: true }, 'bare name'],
    }],
    files: [{ name: 'top.txt', size: 3 }, { name: 'broken', size: -1, packedSize: 'many', crc: 'xyz', modified: 7 }, { size: 5 }],
  });
  assert.equal(detailed, true);
  assert.deepEqual(archive, { name: 'photos 2024.7z', size: 123456 });
  assert.deepEqual(stats, { folders: 2, files: 5, bytes: 1023 });
  const a = root.folder('a');
  assert.deepEqual([root.bytes, a.bytes, a.folder('b').bytes], [1023, 1020, 1000]);
  assert.equal(a.modified, Date.UTC(2024, 4, 6, 7, 8, 9));
  const [folderB, bare, one] = a.list('name');
  assert.deepEqual([folderB.name, folderB.size], ['b', 1000]);
  assert.deepEqual(one.info, { size: 20, modified: Date.UTC(2024, 0, 2, 3, 4, 5), packedSize: 9, crc: '0A1B2C3D', encrypted: true });
  assert.deepEqual([one.size, one.modified], [20, Date.UTC(2024, 0, 2, 3, 4, 5)]);
  assert.deepEqual([bare.name, bare.size, bare.info], ['bare name', null, null]);
  const broken = root.list('name').find((e) => e.name === 'broken');
  assert.deepEqual(broken.info, { size: null, modified: null, packedSize: null, crc: null, encrypted: false });
  // An archive object alone makes a listing with details; a bad one is left out.
  assert.equal(buildTree({ archive: { name: 'x.zip' }, SubDirectories: [], files: [] }).detailed, true);
  assert.deepEqual(buildTree({ archive: { size: 1 }, SubDirectories: [], files: ['f'] }), buildTree({ SubDirectories: [], files: ['f'] }));
});

test('a listing nested deeper than any stack is built, summed and followed', () => {
  const depth = 50000;
  const json = { SubDirectories: [], files: [] };
  let at = json;
  for (let i = 0; i < depth; i++) {
    const sub = { name: 'd', SubDirectories: [], files: [] };
    at.SubDirectories.push(sub);
    at = sub;
  }
  at.files.push({ name: 'leaf', size: 12 });
  const { root, stats } = buildTree(json);
  assert.deepEqual(stats, { folders: depth, files: 1, bytes: 12 });
  const place = resolve(root, Array(depth).fill('d').concat('leaf'));
  assert.equal(place.file, 'leaf');
  assert.equal(place.folder.path().length, depth);
});

test('places: hashes of any name, resolving them, item addresses', () => {
  const { root } = buildTree({
    SubDirectories: [{ name: 'Odd <folder> & "quotes"', SubDirectories: [{ name: '100% #1', SubDirectories: [], files: [] }], files: ['inner #1.txt'] }],
    files: ['say "hi" & <img>.txt', 'naïve café 日本語 ✓.txt', '  spaced  .txt', 'a/b?.txt'],
  });
  for (const parts of [[], ['Odd <folder> & "quotes"', '100% #1'], ['naïve café 日本語 ✓.txt'], ['  spaced  .txt'], ['a/b?.txt']]) {
    assert.deepEqual(partsOf(hashFor(parts)), parts, parts.join('|'));
  }
  assert.equal(hashFor(['a/b?.txt']), '#/a%2Fb%3F.txt');
  // Broken escapes are taken as they are; empty parts and a missing slash are forgiven.
  assert.deepEqual(partsOf('#/100%/x%zz//y'), ['100%', 'x%zz', 'y']);
  assert.deepEqual(partsOf('#docs'), ['docs']);
  const odd = root.folder('Odd <folder> & "quotes"');
  const cases = [
    [[], { folder: root, file: null }],
    [['Odd <folder> & "quotes"', '100% #1'], { folder: odd.folder('100% #1'), file: null }],
    [['Odd <folder> & "quotes"', 'inner #1.txt'], { folder: odd, file: 'inner #1.txt' }],
    [['Odd <folder> & "quotes"', 'nothing', 'deeper'], { folder: odd, file: null, missing: 'nothing/deeper' }],
    [['inner #1.txt'], { folder: root, file: null, missing: 'inner #1.txt' }],
  ];
  for (const [parts, place] of cases) {
    assert.deepEqual(resolve(root, parts), place, parts.join('/'));
    if (!place.missing) assert.deepEqual(resolve(root, partsOf(placeHash(place))), place);
  }
  const inner = odd.list('name').find((e) => e.name === 'inner #1.txt');
  assert.equal(itemUrl(inner), '/ArchiveContent/Odd%20%3Cfolder%3E%20%26%20%22quotes%22/inner%20%231.txt');
  // A lone surrogate cannot be encoded; it goes as U+FFFD, which no stored name matches.
  assert.equal(itemUrl({ name: 'bad\ud800.txt', parent: root }), '/ArchiveContent/bad%EF%BF%BD.txt');
  assert.equal(itemUrl({ name: '\udc00\ud83d\ude00\ud83d', parent: root }), '/ArchiveContent/%EF%BF%BD%F0%9F%98%80%EF%BF%BD');
  assert.equal(hashFor(['\ud800']), '#/%EF%BF%BD');
});

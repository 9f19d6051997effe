// Names with bytes that nothing decoded: the listing shows them with U+FFFD
// ("name") and gives the name that addresses must use ("address"); the page
// shows the first and reaches the item by the second.
import assert from 'node:assert/strict';
import test from 'node:test';
import { hashFor, innerListingUrl, itemUrl, partsOf, placeHash, resolve } from '../../HTML/js/model/places.mjs';
import { SearchIndex } from '../../HTML/js/model/search.mjs';
import { buildTree } from '../../HTML/js/model/tree.mjs';

// As the server writes it: U+EF00 + byte stands for a byte that nothing decoded.
const escaped = (text) => text.replace(/\{([0-9A-F]{2})\}/g, (_, hex) => String.fromCharCode(0xef00 + parseInt(hex, 16)));

const namesListing = () => ({
  name: 'ArchiveContent',
  SubDirectories: [
    { name: 'dir\ufffd', address: escaped('dir{FF}'), SubDirectories: [], files: [{ name: 'in\ufffd.txt', address: escaped('in{80}.txt') }, 'plain.txt'] },
    { name: 'ok', SubDirectories: [], files: ['ok.txt'] },
  ],
  // Two names that differ only in the bytes that nothing decoded show alike and stay two.
  files: [{ name: 'bad\ufffd.txt', address: escaped('bad{FF}.txt') }, { name: 'bad\ufffd.txt', address: escaped('bad{FE}.txt') }, 'b.txt', 'café.txt'],
});

test('a name with an address is shown by its label and reached by its address', () => {
  const { root, detailed, stats } = buildTree(namesListing());
  // Objects that tell only a name and an address do not make a listing with details.
  assert.equal(detailed, false);
  assert.deepEqual(stats, { folders: 2, files: 7, bytes: null });
  const entries = root.list('name');
  assert.deepEqual(entries.map((e) => e.label), ['dir\ufffd', 'ok', 'b.txt', 'bad\ufffd.txt', 'bad\ufffd.txt', 'café.txt']);
  assert.deepEqual(entries.map((e) => e.name), [escaped('dir{FF}'), 'ok', 'b.txt', escaped('bad{FE}.txt'), escaped('bad{FF}.txt'), 'café.txt']);
  const table = [
    [entries[3], '/ArchiveContent/bad%EE%BF%BE.txt'],
    [entries[4], '/ArchiveContent/bad%EE%BF%BF.txt'],
    [entries[5], '/ArchiveContent/caf%C3%A9.txt'],
    [entries[2], '/ArchiveContent/b.txt'],
  ];
  for (const [entry, url] of table) assert.equal(itemUrl(entry), url, entry.label);
  const dir = root.folder(escaped('dir{FF}'));
  assert.equal(dir.label, 'dir\ufffd');
  assert.deepEqual(dir.labelPath(), ['dir\ufffd']);
  const [inside, plain] = dir.list('name').slice().sort((a, b) => (a.name < b.name ? -1 : 1));
  assert.deepEqual([inside.name, inside.label, plain.name, plain.label], [escaped('in{80}.txt'), 'in\ufffd.txt', 'plain.txt', 'plain.txt']);
  assert.equal(itemUrl(inside), '/ArchiveContent/dir%EE%BF%BF/in%EE%BE%80.txt');
  assert.equal(dir.labelOf(escaped('in{80}.txt')), 'in\ufffd.txt');
  assert.equal(dir.labelOf('plain.txt'), 'plain.txt');
  assert.equal(root.labelOf('b.txt'), 'b.txt');
  assert.equal(innerListingUrl(root, escaped('bad{FF}.txt')), '/ArchiveContent/bad%EE%BF%BF.txt?list');
});

test('the address in the page goes by the names, and leads back to the item', () => {
  const { root } = buildTree(namesListing());
  const dir = root.folder(escaped('dir{FF}'));
  const place = { folder: dir, file: escaped('in{80}.txt') };
  assert.equal(placeHash(place), '#/dir%EE%BF%BF/in%EE%BE%80.txt');
  assert.deepEqual(resolve(root, partsOf(placeHash(place))), place);
  assert.deepEqual(resolve(root, [escaped('bad{FE}.txt')]), { folder: root, file: escaped('bad{FE}.txt') });
  // The label is no name: it leads nowhere.
  assert.equal(resolve(root, ['bad\ufffd.txt']).missing, 'bad\ufffd.txt');
  assert.deepEqual(partsOf(hashFor([escaped('x{FF}')])), [escaped('x{FF}')]);
});

test('the filter finds labels, and an archive inside is labelled after its item', () => {
  const { root } = buildTree(namesListing());
  const index = new SearchIndex(root);
  const hits = index.search('bad').map((at) => index.entry(at));
  assert.deepEqual(hits.map((e) => e.name).sort(), [escaped('bad{FE}.txt'), escaped('bad{FF}.txt')]);
  assert.deepEqual(index.search('\ufffd').length, 4);
  const inner = root.openInnerArchive(escaped('bad{FF}.txt'), { SubDirectories: [], files: [{ name: 'x\ufffd', address: escaped('x{C0}') }] });
  assert.deepEqual([inner.name, inner.label], [escaped('bad{FF}.txt'), 'bad\ufffd.txt']);
  const [entry] = inner.list('name');
  assert.deepEqual([entry.name, entry.label], [escaped('x{C0}'), 'x\ufffd']);
  assert.equal(itemUrl(entry), '/ArchiveContent/bad%EE%BF%BF.txt/x%EE%BF%80');
});

test('details with addresses: the details stay with their files', () => {
  const { root, detailed } = buildTree({
    archive: { name: 'a.tar', size: 10 },
    SubDirectories: [],
    files: [{ name: 'x\ufffd', address: escaped('x{FF}'), size: 4, encrypted: false }, { name: 'y', size: 6, encrypted: false }],
  });
  assert.equal(detailed, true);
  const [x, y] = root.list('name');
  assert.deepEqual([x.name, x.label, x.size, y.name, y.label, y.size], [escaped('x{FF}'), 'x\ufffd', 4, 'y', 'y', 6]);
  assert.equal(root.bytes, 10);
});

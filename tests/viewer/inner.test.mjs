// Archives inside the archive: which names are offered, opening one (its
// listing fetched once, hung below its folder), and the places and addresses
// that go on through it. A fake fetch stands in for the server.
import assert from 'node:assert/strict';
import test from 'node:test';
import { InnerArchives, mayBeArchive } from '../../HTML/js/net/inner.mjs';
import { ItemStore, PASSWORD_HEADER } from '../../HTML/js/net/items.mjs';
import { endsInFolder, hashFor, innerArchiveHash, innerListingUrl, itemUrl, partsOf, placeHash, resolve, trail } from '../../HTML/js/model/places.mjs';
import { buildTree } from '../../HTML/js/model/tree.mjs';

const listing = (files, SubDirectories = []) => ({ name: 'ignored', SubDirectories, files });
const folderOf = (name, files, subs = []) => ({ name, SubDirectories: subs, files });

test('names offered to open as archives: archives by their last extension, containers, and what the first bytes tell', () => {
  const zipBytes = { kind: 'archive', mime: '', label: 'ZIP archive' };
  const textBytes = { kind: 'text', mime: 'text/plain', label: 'Text' };
  const cases = [
    ['a.zip', null, true], ['B.7Z', null, true], ['x.tar.gz', null, true], ['x.tgz', null, true], ['x.tar.zst', null, true],
    ['x.tar.bz2', null, true], ['disk.iso', null, true], ['app.apk', null, true], ['lib.jar', null, true], ['pkg.deb', null, true],
    ['old.lzh', null, true], ['setup.cab', null, true], ['report.docx', null, true], ['book.epub', null, true],
    ['notes.txt', null, false], ['photo.png', null, false], ['Makefile', null, false], ['zip', null, false], ['.zip', null, true],
    ['archive.zip.txt', null, false], ['program.exe', null, false],
    // A name that says nothing: the bytes decide; a name that says text is not overruled.
    ['data', zipBytes, true], ['data', textBytes, false], ['data', null, false], ['notes.txt', zipBytes, false],
  ];
  for (const [name, sniffed, expected] of cases) assert.equal(mayBeArchive(name, sniffed), expected, name);
});

// The outer archive: a folder that holds an inner zip, whose listing holds a tar.
function outer() {
  return buildTree({
    archive: { name: 'outer.7z', size: 1000 },
    SubDirectories: [folderOf('sub dir', [{ name: 'in #1.zip', size: 500 }, { name: 'plain.txt', size: 3 }, { name: 'locked.zip', encrypted: true }])],
    files: [{ name: 'top.txt', size: 4 }],
  }).root;
}

test('an opened archive hangs below its folder: paths, addresses, hashes and breadcrumbs go on through it', () => {
  const root = outer();
  const sub = root.folder('sub dir');
  const zip = sub.openInnerArchive('in #1.zip', listing(['tree.tar'], [folderOf('docs', ['read me.txt'])]));
  const tar = zip.openInnerArchive('tree.tar', listing(['top.txt'], [folderOf('dir', ['deep note.txt'])]));
  const dir = tar.folder('dir');
  assert.deepEqual(dir.path(), ['sub dir', 'in #1.zip', 'tree.tar', 'dir']);
  assert.deepEqual([zip.depth, tar.depth, dir.depth], [2, 3, 4]);
  // Each archive keeps its own listing; the folder that holds it counts it as a branch, not an entry.
  assert.deepEqual([root.listing.detailed, zip.listing.detailed, dir.archiveRoot(), zip.archiveRoot()], [true, false, tar, zip]);
  assert.deepEqual([sub.entryCount, sub.branchCount, sub.branches().map((f) => f.name)], [3, 1, ['in #1.zip']]);
  assert.deepEqual(zip.branches().map((f) => f.name), ['docs', 'tree.tar']);
  assert.deepEqual(sub.list('name').map((e) => e.name), ['in #1.zip', 'locked.zip', 'plain.txt']);

  const note = dir.list('name')[0];
  assert.equal(itemUrl(note), '/ArchiveContent/sub%20dir/in%20%231.zip/tree.tar/dir/deep%20note.txt');
  assert.equal(innerListingUrl(sub, 'in #1.zip'), '/ArchiveContent/sub%20dir/in%20%231.zip?list');
  assert.equal(innerListingUrl(zip, 'tree.tar'), '/ArchiveContent/sub%20dir/in%20%231.zip/tree.tar?list');
  // The root of an archive inside ends in a slash, which tells it from its item.
  assert.equal(placeHash({ folder: zip, file: null }), '#/sub%20dir/in%20%231.zip/');
  assert.equal(innerArchiveHash(sub, 'in #1.zip'), placeHash({ folder: zip, file: null }));
  assert.equal(placeHash({ folder: sub, file: 'in #1.zip' }), '#/sub%20dir/in%20%231.zip');
  assert.equal(placeHash({ folder: dir, file: null }), '#/sub%20dir/in%20%231.zip/tree.tar/dir');
  assert.equal(placeHash({ folder: root, file: null }), '#/');
  assert.deepEqual(trail(dir).map((s) => [s.folder.name, s.hash, s.archive]), [
    ['', '#/', true],
    ['sub dir', '#/sub%20dir', false],
    ['in #1.zip', '#/sub%20dir/in%20%231.zip/', true],
    ['tree.tar', '#/sub%20dir/in%20%231.zip/tree.tar/', true],
    ['dir', '#/sub%20dir/in%20%231.zip/tree.tar/dir', false],
  ]);

  // Every place's hash leads back to it.
  const follow = (hash) => resolve(root, partsOf(hash), { intoLast: endsInFolder(hash) });
  for (const place of [{ folder: zip, file: null }, { folder: tar, file: null }, { folder: dir, file: null },
    { folder: dir, file: 'deep note.txt' }, { folder: sub, file: 'in #1.zip' }, { folder: zip, file: 'tree.tar' }, { folder: root, file: null }]) {
    assert.deepEqual(follow(placeHash(place)), place, placeHash(place));
  }
  // A file taken as a folder, or with names after it, is an archive still to open;
  // a missing name stays missing, within an archive inside too.
  const cases = [
    ['#/sub%20dir/plain.txt/', { folder: sub, file: null, unopened: 'plain.txt' }],
    ['#/sub%20dir/plain.txt/x/y', { folder: sub, file: null, unopened: 'plain.txt' }],
    ['#/top.txt/', { folder: root, file: null, unopened: 'top.txt' }],
    ['#/sub%20dir/in%20%231.zip/docs/', { folder: zip.folder('docs'), file: null }],
    ['#/sub%20dir/in%20%231.zip/nothing/deeper', { folder: zip, file: null, missing: 'nothing/deeper' }],
    ['#/sub%20dir/in%20%231.zip/tree.tar/top.txt', { folder: tar, file: 'top.txt' }],
  ];
  for (const [hash, place] of cases) assert.deepEqual(follow(hash), place, hash);
  assert.deepEqual([endsInFolder('#/'), endsInFolder('#/a'), endsInFolder('#/a/'), endsInFolder(hashFor(['a/']))], [false, false, true, false]);
});

// A fetch that answers listings from the table, counting what it was asked.
function server(table) {
  const asked = [];
  const fetch = async (url, options = {}) => {
    asked.push([url, options.headers?.[PASSWORD_HEADER] ?? null]);
    await new Promise((resolve) => setTimeout(resolve, 5));
    const answer = table[url];
    return answer ? answer(options) : new Response('Not Found', { status: 404 });
  };
  return { fetch, asked };
}
const json = (value) => () => new Response(JSON.stringify(value));

test('opening: one fetch however many ask, the archive kept; failures said in plain words and tried again', async () => {
  const root = outer();
  const sub = root.folder('sub dir');
  const zipUrl = innerListingUrl(sub, 'in #1.zip');
  const fake = server({
    [zipUrl]: json(listing(['a.txt'], [folderOf('docs', ['b.txt'])])),
    [innerListingUrl(sub, 'plain.txt')]: () => new Response('Not Found', { status: 404 }),
    [innerListingUrl(root, 'top.txt')]: () => new Response('The archive inside the archive, top.txt, cannot be opened: no space left in TMPDIR (/tmp).\n', { status: 500 }),
    [innerListingUrl(sub, 'locked.zip')]: () => new Response('This item is encrypted: it needs a password.\n', { status: 401 }),
  });
  const inner = new InnerArchives(new ItemStore({ fetch: fake.fetch }));
  const [a, b] = await Promise.all([inner.open(sub, 'in #1.zip'), inner.open(sub, 'in #1.zip')]);
  assert.equal(a, b);
  assert.equal(a, sub.innerArchive('in #1.zip'));
  assert.deepEqual(a.list('name').map((e) => e.name), ['docs', 'a.txt']);
  assert.equal(await inner.open(sub, 'in #1.zip'), a);
  assert.deepEqual(fake.asked, [[zipUrl, null]]);

  const failures = [
    [sub, 'plain.txt', 404, /cannot open “plain\.txt” as an archive/],
    [root, 'top.txt', 500, /^The archive inside the archive, top\.txt, cannot be opened: no space left in TMPDIR \(\/tmp\)\.$/],
    [sub, 'locked.zip', 401, /“locked\.zip” is encrypted, and it cannot be opened without the password/],
  ];
  for (const [folder, name, status, message] of failures) {
    for (let round = 0; round < 2; round++) {  // a failure is not kept: asking again fetches again
      await assert.rejects(inner.open(folder, name), (error) => error.status === status && message.test(error.message), name);
    }
    assert.equal(folder.innerArchive(name), null);
  }
  assert.equal(fake.asked.length, 7);

  // What is not a listing is said so, and nothing is hung.
  const odd = server({ [zipUrl]: () => new Response('{"files": ['), [innerListingUrl(sub, 'plain.txt')]: json({ files: 'no' }) });
  const oddInner = new InnerArchives(new ItemStore({ fetch: odd.fetch }));
  await assert.rejects(oddInner.open(outer().folder('sub dir'), 'in #1.zip'), /not valid JSON/);
  const other = outer().folder('sub dir');
  await assert.rejects(oddInner.open(other, 'plain.txt'), /not usable/);
  assert.equal(other.inner, null);
});

test('an encrypted archive inside: its listing asks for the password once and sends it in the header', async () => {
  const root = outer();
  const sub = root.folder('sub dir');
  const url = innerListingUrl(sub, 'in #1.zip');
  const fake = server({
    [url]: ({ headers }) => (headers?.[PASSWORD_HEADER] === encodeURIComponent('sesame')
      ? new Response(JSON.stringify(listing(['x.txt']))) : new Response('encrypted', { status: 401 })),
  });
  let questions = 0;
  const store = new ItemStore({ fetch: fake.fetch, askPassword: async () => { questions++; return 'sesame'; } });
  const zip = await new InnerArchives(store).open(sub, 'in #1.zip');
  assert.deepEqual(zip.files, ['x.txt']);
  assert.equal(questions, 1);
  assert.deepEqual(fake.asked, [[url, null], [url, encodeURIComponent('sesame')]]);
  assert.ok(store.isEncrypted(url));
});

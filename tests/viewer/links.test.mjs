// Where symbolic links lead: targets resolved against the link's folder,
// within the archive (and within an archive inside it), read from the details
// listing as the server writes it.
import assert from 'node:assert/strict';
import test from 'node:test';
import { linkPlace } from '../../HTML/js/model/links.mjs';
import { buildTree } from '../../HTML/js/model/tree.mjs';

const listing = {
  name: 'ArchiveContent',
  SubDirectories: [
    { name: 'docs', SubDirectories: [{ name: 'sub', SubDirectories: [], files: [{ name: 'up', link: 'symbolic', target: '../readme.txt' }] }],
      files: [{ name: 'readme.txt', size: 5 }, { name: 'rel', link: 'symbolic', target: 'readme.txt' }] },
  ],
  files: [{ name: 'hard.txt', link: 'hard', target: 'docs/readme.txt' }, { name: 'odd', link: 42, target: {} }, 'inner.zip'],
};

// The place as names: "docs/readme.txt", "docs/" for a folder, or null.
const where = (folder, target) => {
  const place = linkPlace(folder, target);
  return place && place.folder.path().concat(place.file ?? '').join('/');
};

test('the listing tells links and their targets; what is malformed is no link', () => {
  const { root } = buildTree(listing);
  const docs = root.folder('docs');
  assert.deepEqual([docs.info[1].link, docs.info[1].target], ['symbolic', 'readme.txt']);
  assert.deepEqual([root.info[0].link, root.info[0].target], ['hard', 'docs/readme.txt']);
  assert.equal(root.info[1].link ?? null, null);
  assert.equal(docs.info[0].link ?? null, null);
});

test('targets resolve against the link\'s folder and stay inside the archive', () => {
  const { root } = buildTree(listing);
  const docs = root.folder('docs'), sub = docs.folder('sub');
  const table = [
    [docs, 'readme.txt', 'docs/readme.txt'],
    [docs, './readme.txt', 'docs/readme.txt'],
    [sub, '../readme.txt', 'docs/readme.txt'],
    [sub, '../../docs//readme.txt', 'docs/readme.txt'],
    [sub, '..', 'docs/'],
    [sub, '../../hard.txt', 'hard.txt'],
    [root, 'docs/sub', 'docs/sub/'],
    [docs, 'missing.txt', null],
    [docs, '../../readme.txt', null],   // above the root
    [docs, '/etc/passwd', null],        // absolute: outside the archive
    [docs, '', null],
    [root, 'inner.zip/a.txt', null],    // into an archive inside that is not open
  ];
  for (const [folder, target, expected] of table)
    assert.equal(where(folder, target), expected, `${folder.path().join('/')}: ${target}`);
});

test('in an archive inside the archive, targets stay in that archive', () => {
  const { root } = buildTree(listing);
  const inner = root.openInnerArchive('inner.zip', {
    name: 'inner.zip', SubDirectories: [{ name: 'lib', SubDirectories: [], files: ['x.so'] }], files: ['a.txt'],
  });
  const lib = inner.folder('lib');
  assert.equal(where(lib, 'x.so'), 'inner.zip/lib/x.so');
  assert.equal(where(lib, '../a.txt'), 'inner.zip/a.txt');
  assert.equal(where(lib, '../../hard.txt'), null, 'the outer archive is outside this one');
});

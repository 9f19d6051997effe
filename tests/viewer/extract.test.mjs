// What extracting writes where: paths from the deepest common folder, names
// made safe and kept apart, folders before their files, links left out.
import assert from 'node:assert/strict';
import test from 'node:test';
import { commonFolder, planExtract } from '../../HTML/js/actions/extract.mjs';
import { buildTree } from '../../HTML/js/model/tree.mjs';

const { root } = buildTree({
  SubDirectories: [
    { name: 'photos', SubDirectories: [
      { name: 'CON', SubDirectories: [{ name: 'empty', SubDirectories: [], files: [] }], files: [{ name: 'a:b.jpg', size: 3 }, { name: 'a_b.jpg', size: 4 }] },
      { name: 'trip', SubDirectories: [], files: [{ name: 'x.jpg', size: 10 }, { name: 'X.JPG', size: 20 }, { name: 'link', size: 5, link: 'symbolic', target: '../../etc' }] },
    ], files: [{ name: 'top.txt', size: 1 }] },
    { name: 'notes', SubDirectories: [], files: [{ name: 'n.txt', size: 2 }] },
  ],
  files: [{ name: 'readme', size: 7 }],
});
const photos = root.folder('photos');
const entryOf = (folder) => folder.parent.list('name').find((e) => e.folder === folder);
const fileOf = (folder, name) => folder.list('name').find((e) => e.name === name);
const shown = (plan) => plan.steps.map((s) => [...s.dirs, s.name].join('/') + (s.url ? '' : '/'));

test('a folder is written from its own root: sub-folders made first, names made safe and apart', () => {
  const plan = planExtract(photos.list('name'), photos);
  assert.deepEqual(shown(plan), ['_CON/', '_CON/a_b.jpg', '_CON/a_b (2).jpg', '_CON/empty/', 'trip/', 'trip/X.JPG', 'trip/x (2).jpg', 'top.txt']);
  assert.deepEqual({ files: plan.files, bytes: plan.bytes, links: plan.links }, { files: 5, bytes: 38, links: 1 });
  assert.equal(plan.steps[1].url, '/ArchiveContent/photos/CON/a%3Ab.jpg');
  assert.equal(plan.steps[1].shown, 'a:b.jpg');
});

test('a selection is written from the deepest folder that holds all of it', () => {
  const trip = photos.folder('trip');
  const cases = [
    [[fileOf(trip, 'x.jpg'), fileOf(photos.folder('CON'), 'a_b.jpg')], photos, ['trip/', 'trip/x.jpg', '_CON/', '_CON/a_b.jpg']],
    [[fileOf(trip, 'x.jpg')], trip, ['x.jpg']],
    [[entryOf(trip), fileOf(root, 'readme')], root, ['photos/', 'photos/trip/', 'photos/trip/X.JPG', 'photos/trip/x (2).jpg', 'readme']],
    [[entryOf(root.folder('notes')), entryOf(photos.folder('CON'))], root, ['notes/', 'notes/n.txt', 'photos/', 'photos/_CON/', 'photos/_CON/a_b.jpg', 'photos/_CON/a_b (2).jpg', 'photos/_CON/empty/']],
  ];
  for (const [entries, base, paths] of cases) {
    assert.equal(commonFolder(entries), base);
    assert.deepEqual(shown(planExtract(entries, base)), paths);
  }
});

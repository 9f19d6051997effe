// Picking entries: clicks with Ctrl and Shift, Ctrl+A, folders standing for
// what they hold, picks kept across folders and the limit, on real trees.
import assert from 'node:assert/strict';
import test from 'node:test';
import { addressOf } from '../../HTML/js/model/places.mjs';
import { Selection } from '../../HTML/js/model/selection.mjs';
import { buildTree } from '../../HTML/js/model/tree.mjs';

const { root } = buildTree({
  SubDirectories: [
    { name: 'docs', SubDirectories: [{ name: 'old', SubDirectories: [], files: ['v1.txt'] }], files: ['a.txt', 'b.txt', 'c.txt', 'd.txt', 'e.txt'] },
    { name: 'src', SubDirectories: [], files: ['main.c', 'a b.c'] },
  ],
  files: ['readme'],
});
const listOf = (folder) => { const entries = folder.list('name'); return { length: entries.length, at: (i) => entries[i] }; };
const docs = listOf(root.folder('docs'));   // old, a.txt … e.txt
const top = listOf(root);                    // docs, src, readme
const src = listOf(root.folder('src'));      // a b.c, main.c
const make = (options = {}) => {
  let changes = 0;
  const selection = new Selection({ addressOf, scopeOf: (e) => e.parent.archiveRoot(), onChange: () => changes++, ...options });
  selection.changes = () => changes;
  return selection;
};

test('Ctrl picks one at a time and Shift picks from the anchor, replacing its last range', () => {
  // Each step: [list, what, index], then the addresses picked, in byte order.
  const table = [
    [[docs, 'toggle', 1], ['docs/a.txt']],
    [[docs, 'extend', 3], ['docs/a.txt', 'docs/b.txt', 'docs/c.txt']],
    [[docs, 'extend', 2], ['docs/a.txt', 'docs/b.txt'], 'a shorter range from the same anchor takes the place of the longer'],
    [[docs, 'extend', 0], ['docs/a.txt', 'docs/old'], 'ranges run upwards too'],
    [[docs, 'toggle', 5], ['docs/a.txt', 'docs/e.txt', 'docs/old'], 'Ctrl adds and moves the anchor'],
    [[docs, 'extend', 4], ['docs/a.txt', 'docs/d.txt', 'docs/e.txt', 'docs/old']],
    [[docs, 'toggle', 1], ['docs/d.txt', 'docs/e.txt', 'docs/old'], 'Ctrl on a picked entry drops it'],
    [[src, 'toggle', 0], ['docs/d.txt', 'docs/e.txt', 'docs/old', 'src/a%20b.c'], 'picks from another folder join them'],
    [[src, 'extend', 1], ['docs/d.txt', 'docs/e.txt', 'docs/old', 'src/a%20b.c', 'src/main.c']],
  ];
  const selection = make();
  for (const [[list, what, index], picked, why] of table) {
    selection[what === 'toggle' ? 'toggle' : 'extend'](list, index);
    assert.deepEqual(selection.addresses().sort(), picked, why ?? `${what} ${index}`);
  }
  assert.equal(selection.changes(), table.length);
});

test('a Shift pick with no anchor in the list picks the one entry', () => {
  const selection = make();
  selection.toggle(docs, 2);
  selection.extend(src, 1);
  assert.deepEqual(selection.addresses().sort(), ['docs/b.txt', 'src/main.c']);
  selection.extend(src, 0);
  assert.deepEqual(selection.addresses().sort(), ['docs/b.txt', 'src/a%20b.c', 'src/main.c']);
});

test('a picked folder stands for what it holds', () => {
  const selection = make();
  selection.toggle(docs, 1);
  selection.toggle(listOf(root.folder('docs').folder('old')), 0);
  assert.deepEqual(selection.addresses().sort(), ['docs/a.txt', 'docs/old/v1.txt']);
  selection.toggle(top, 0);
  assert.deepEqual(selection.addresses(), ['docs'], 'what lies under a picked folder is not kept on its own');
  assert.equal(selection.state(docs.at(3)), 'within');
  assert.equal(selection.state(top.at(0)), 'picked');
  assert.equal(selection.state(top.at(2)), null);
  assert.equal(selection.toggle(docs, 3), false, 'an entry under a picked folder stays');
  selection.all(top);
  assert.deepEqual(selection.addresses().sort(), ['docs', 'readme', 'src']);
  selection.toggle(top, 0);
  assert.deepEqual(selection.addresses().sort(), ['readme', 'src']);
  assert.equal(selection.state(docs.at(3)), null, 'dropping the folder drops what was under it');
  selection.clear();
  assert.equal(selection.size, 0);
});

test('Ctrl+A picks the whole list up to the limit; an entry of another archive starts afresh', () => {
  const selection = make({ limit: 4 });
  selection.all(docs);
  assert.equal(selection.size, 4);
  assert.equal(selection.full, true);
  assert.deepEqual(selection.addresses(), ['docs/old', 'docs/a.txt', 'docs/b.txt', 'docs/c.txt'], 'in the order listed');
  selection.toggle(docs, 0);
  assert.equal(selection.full, false);
  selection.extend(docs, 5);
  assert.equal(selection.size, 4, 'a range stops at the limit too');
  assert.equal(selection.full, true);

  const inner = root.openInnerArchive('readme', { SubDirectories: [], files: ['x', 'y'] });
  selection.toggle(listOf(inner), 1);
  assert.deepEqual(selection.addresses(), ['readme/y']);
  assert.equal(selection.state(docs.at(1)), null);
});

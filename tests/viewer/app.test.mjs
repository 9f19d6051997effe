// The page's moves with no page in sight: what an address asks for, the
// history step of each move, what stays on show, the keys, the order chosen,
// and the addresses of an archive inside for its search and its test.
import assert from 'node:assert/strict';
import test from 'node:test';
import { pageKey } from '../../HTML/js/app/keys.mjs';
import { closingStep, followHistory, historyStep, keepsHits, readAddress } from '../../HTML/js/app/routing.mjs';
import { sameSearch, searchAddress } from '../../HTML/js/app/searchpanel.mjs';
import { chosenSort, createState, loaded, sortAt, titleFor } from '../../HTML/js/app/state.mjs';
import { folderUrl, itemUrl, placeHash } from '../../HTML/js/model/places.mjs';
import { buildTree } from '../../HTML/js/model/tree.mjs';

const folderOf = (name, files, SubDirectories = []) => ({ name, SubDirectories, files });

// An archive with details, a folder holding an archive inside (opened) and one
// not yet opened, and names that need encoding.
function archive() {
  const listing = buildTree({
    archive: { name: 'outer.7z', size: 10 },
    SubDirectories: [folderOf('a b', [{ name: 'x#1.txt', size: 1 }, { name: 'in.zip', size: 2 }, { name: 'later.zip', size: 3 }])],
    files: [{ name: 'top.txt', size: 4 }],
  });
  const inner = listing.root.folder('a b').openInnerArchive('in.zip', folderOf('', ['deep.txt'], [folderOf('d', ['e.txt'])]));
  return { listing, root: listing.root, sub: listing.root.folder('a b'), inner };
}

test('what an address asks for: a folder, a file, an archive inside open or not, a search, what is missing', () => {
  const { root, sub, inner } = archive();
  const cases = [
    ['', { place: { folder: root, file: null }, canonical: '#/' }],
    ['#/', { place: { folder: root, file: null }, canonical: '#/' }],
    ['#a%20b', { place: { folder: sub, file: null }, canonical: '#/a%20b' }],
    ['#/a%20b/', { place: { folder: sub, file: null }, canonical: '#/a%20b' }],
    ['#/a%20b/x%231.txt', { place: { folder: sub, file: 'x#1.txt' }, canonical: '#/a%20b/x%231.txt' }],
    ['#/a b/x#1.txt', { place: { folder: sub, file: 'x#1.txt' }, canonical: '#/a%20b/x%231.txt' }],
    // An archive's item is a file; a slash after it, or names after it, lead into it.
    ['#/a%20b/in.zip', { place: { folder: sub, file: 'in.zip' }, canonical: '#/a%20b/in.zip' }],
    ['#/a%20b/in.zip/', { place: { folder: inner, file: null }, canonical: '#/a%20b/in.zip/' }],
    ['#/a%20b/in.zip/d/e.txt', { place: { folder: inner.folder('d'), file: 'e.txt' }, canonical: '#/a%20b/in.zip/d/e.txt' }],
    ['#/a%20b/later.zip/', { unopened: { folder: sub, file: null, unopened: 'later.zip' } }],
    ['#/a%20b/later.zip/x', { unopened: { folder: sub, file: null, unopened: 'later.zip' } }],
    ['#/a%20b/nothing/x', { place: { folder: sub, file: null, missing: 'nothing/x' }, canonical: '#/a%20b' }],
    ['#/%E0%A4', { place: { folder: root, file: null, missing: '%E0%A4' }, canonical: '#/' }],
    ['#?search=open+a+folder&regex=1', { search: { pattern: 'open a folder', regex: true, caseSensitive: false } }],
    // A search with no words is no search: taken as names, which are missing.
    ['#?search=', { place: { folder: root, file: null, missing: '?search=' }, canonical: '#/' }],
  ];
  for (const [hash, expected] of cases) assert.deepEqual(readAddress(root, hash), expected, hash);
});

test('the history step of each move, and how the preview and the reader close', () => {
  const kept = { reader: 'opened' };
  const steps = [
    // current, target, options, the entry's state, expected step
    ['#/a', '#/a', {}, kept, null],
    ['#/a', '#/a', { replace: true, preview: true }, kept, null],
    ['#/a', '#/b', {}, kept, { method: 'pushState', state: null }],
    ['#/a', '#/a/f', { preview: true }, null, { method: 'pushState', state: { preview: true } }],
    ['#/a/f', '#/a/g', { replace: true }, { preview: true }, { method: 'replaceState', state: { preview: true } }],
    ['#/a/f', '#/a', { replace: true }, kept, { method: 'replaceState', state: kept }],
    ['#/a', '#/a/f', { replace: true, preview: true }, kept, { method: 'replaceState', state: { preview: true } }],
  ];
  for (const [current, target, options, state, expected] of steps) {
    assert.deepEqual(historyStep(current, target, options, state), expected, `${current} -> ${target} ${JSON.stringify(options)}`);
  }
  const closing = [
    ['preview', { preview: true }, 'back'], ['preview', null, 'replace'], ['preview', { reader: 'pushed' }, 'replace'],
    ['reader', { reader: 'pushed' }, 'back'], ['reader', { reader: 'opened' }, 'replace'], ['reader', null, 'replace'],
    ['reader', { preview: true }, 'replace'],
  ];
  for (const [kind, state, expected] of closing) assert.equal(closingStep(kind, state), expected, `${kind} ${JSON.stringify(state)}`);
});

test('the filter\'s hits and the search\'s results stay under a preview, and go with a move to another folder', () => {
  const cases = [
    // query, searching, file, same folder -> kept
    ['', false, null, true, false],
    ['', false, 'f', false, false],
    ['x', false, 'f', false, true],
    ['x', false, null, true, true],
    ['x', false, null, false, false],
    ['', true, 'f', false, true],
    ['', true, null, true, false],
    ['x', true, null, true, false],
  ];
  for (const [query, searching, file, sameFolder, kept] of cases) {
    assert.equal(keepsHits({ query, searching, file, sameFolder }), kept, JSON.stringify({ query, searching, file, sameFolder }));
  }
});

test('a Back or a link within the page shows the new place once, though the browser fires popstate and hashchange', () => {
  const win = new EventTarget();
  let routes = 0;
  followHistory(win, () => routes++);
  // A Back over entries with different hashes fires both; one that only
  // changes the entry's state (the reader's) fires popstate alone.
  for (const events of [['popstate', 'hashchange'], ['popstate'], ['popstate', 'hashchange']]) {
    for (const type of events) win.dispatchEvent(new Event(type));
  }
  assert.equal(routes, 3);
});

test('the order chosen where the listing tells details or names alone; the state of a fresh listing', () => {
  const cases = [
    // asked, the listing has details -> chosen
    ['size', true, 'size'], ['date', true, 'date'], ['type', true, 'type'], ['name', true, 'name'],
    ['size', false, 'name'], ['date', false, 'name'], ['type', false, 'type'], ['bogus', true, 'name'], [null, true, 'name'],
  ];
  for (const [asked, detailed, expected] of cases) assert.equal(chosenSort(asked, detailed), expected, `${asked} ${detailed}`);

  const { listing, root, sub, inner } = archive();
  const state = createState();
  state.memory.set('old', {});
  state.query = 'left over';
  loaded(state, listing, { root });
  assert.deepEqual([state.folder, state.query, state.opening, state.memory.size, state.indexes.get(root)], [null, '', null, 0, { root }]);
  // Sizes order the outer archive; the archive inside tells names alone, so it goes by name.
  state.sort = 'size';
  assert.deepEqual([sortAt(state, sub), sortAt(state, inner)], ['size', 'name']);
  assert.equal(titleFor(state, { folder: sub, file: 'x#1.txt' }), 'x#1.txt — outer.7z — Vorsel');
  assert.equal(titleFor(state, { folder: root, file: null }), 'outer.7z — Vorsel');
});

test('the page\'s keys: what each asks for, and what is left to a field being typed in', () => {
  const key = (k, more = {}) => ({ key: k, code: '', altKey: false, ctrlKey: false, metaKey: false, ...more });
  const cases = [
    [key('/'), false, 'filter'], [key('/'), true, null], [key('/', { ctrlKey: true }), false, null],
    [key('Backspace'), false, 'up'], [key('Backspace'), true, null],
    [key('f', { altKey: true }), true, 'searchMode'], [key('F', { altKey: true }), false, 'searchMode'],
    // A layout whose Alt+F makes another character still has the F key.
    [key('ƒ', { altKey: true, code: 'KeyF' }), false, 'searchMode'], [key('f', { altKey: true, ctrlKey: true }), false, null],
    [key('g', { altKey: true }), false, 'grid'], [key('©', { altKey: true, code: 'KeyG' }), true, 'grid'],
    [key('Escape'), true, 'drawer'], [key('a'), false, null], [key('f'), false, null],
  ];
  for (const [event, typing, expected] of cases) assert.equal(pageKey(event, typing), expected, JSON.stringify({ event, typing }));
});

test('the search on show is run again only for other terms or another archive', () => {
  const { root, inner } = archive();
  const shown = { pattern: 'a', regex: false, caseSensitive: false, root };
  const cases = [
    [null, { pattern: 'a', regex: false, caseSensitive: false }, root, false],
    [shown, { pattern: 'a', regex: false, caseSensitive: false }, root, true],
    [shown, { pattern: 'a', regex: true, caseSensitive: false }, root, false],
    [shown, { pattern: 'a', regex: false, caseSensitive: true }, root, false],
    [shown, { pattern: 'A', regex: false, caseSensitive: false }, root, false],
    [shown, { pattern: 'a', regex: false, caseSensitive: false }, inner, false],
  ];
  for (const [was, terms, at, same] of cases) assert.equal(sameSearch(was, terms, at), same, JSON.stringify(terms));
});

test('an archive inside is searched and tested at its item\'s address, a lone surrogate in a name sent as U+FFFD', () => {
  const listing = buildTree({ SubDirectories: [folderOf('dir \ud800', ['odd \udc00.zip', 'fine.zip'])], files: [] });
  const dir = listing.root.folder('dir \ud800');
  const odd = dir.openInnerArchive('odd \udc00.zip', folderOf('', ['x.txt']));
  const fine = dir.openInnerArchive('fine.zip', folderOf('', ['x.txt']));
  const terms = { pattern: 'a b', regex: true };
  const cases = [
    [listing.root, '/ArchiveContent', '/ArchiveContent?search=a+b&regex=1'],
    [fine, '/ArchiveContent/dir%20%EF%BF%BD/fine.zip', '/ArchiveContent/dir%20%EF%BF%BD/fine.zip?search=a+b&regex=1'],
    [odd, '/ArchiveContent/dir%20%EF%BF%BD/odd%20%EF%BF%BD.zip', '/ArchiveContent/dir%20%EF%BF%BD/odd%20%EF%BF%BD.zip?search=a+b&regex=1'],
  ];
  for (const [root, address, search] of cases) {
    assert.equal(folderUrl(root), address);
    assert.equal(searchAddress(root, terms), search);
    // The archive's address is its item's own.
    if (root.parent) assert.equal(folderUrl(root), itemUrl({ name: root.name, parent: root.parent }));
  }
  // The hash of the archive inside names it as the address does.
  assert.equal(placeHash({ folder: odd, file: null }), '#/dir%20%EF%BF%BD/odd%20%EF%BF%BD.zip/');
});

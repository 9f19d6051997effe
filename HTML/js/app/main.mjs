// The viewer: loads the listing and keeps what is on show — the folder, the
// order, the filter — in step with the page's address. Archives inside the
// archive open as folders when the address leads into them (see places.mjs).
// The views (contents list or grid, folder tree, preview) hold their own state
// and report what the reader asks for through the callbacks given here.
import { testArchive } from '../actions/archivetest.mjs';
import { Contents } from '../views/contents.mjs';
import { $, el, icon, toast } from '../views/dom.mjs';
import { download, downloadFolderZip, downloadSelectionZip } from '../actions/download.mjs';
import { canPickFolder, commonFolder } from '../actions/extract.mjs';
import { FolderTree } from '../views/foldertree.mjs';
import { count, formatDate, formatSize } from '../model/format.mjs';
import { Grid } from '../views/grid.mjs';
import { ItemStore } from '../net/items.mjs';
import { askPassword } from '../views/password.mjs';
import { kindFromName, lookOf } from '../model/kinds.mjs';
import { closeDrawer, setUpPanes } from '../views/layout.mjs';
import { loadListing } from '../net/listing.mjs';
import { DETAIL_SORTS, SORTS } from '../model/order.mjs';
import { InnerArchives, mayBeArchive } from '../net/inner.mjs';
import { followReading, readingShare, readingText } from '../net/reading.mjs';
import { ContentSearch, ResultGroups, matchedPieces, readSearchHash, searchHash, searchUrl } from '../net/contentsearch.mjs';
import { LISTING_URL, addressOf, endsInFolder, innerArchiveHash, itemUrl, partsOf, placeHash, resolve, resolveShown, trail } from '../model/places.mjs';
import { loadPref, savePref } from '../views/prefs.mjs';
import { Preview } from '../views/preview.mjs';
import { comicFolder } from '../model/pages.mjs';
import { Reader } from '../views/reader.mjs';
import { SearchIndex } from '../model/search.mjs';
import { SELECTION_LIMIT, Selection } from '../model/selection.mjs';
import { pickAndExtract } from '../actions/takeout.mjs';
import { Thumbnails } from '../net/thumbs.mjs';

const app = {
  listing: null,        // { root, archive, detailed, stats } from buildTree
  index: null,          // the filter's index of every name in the archive on show (the outer one or one inside)
  indexes: new WeakMap(), // root of an archive -> its filter's index
  opening: null,        // { folder, name } of the archive inside that is opening, or failed to open, on show
  folder: null,         // the folder on show; while the filter is on, the one under its hits
  sort: 'name',
  query: '',            // the filter's words while it is on
  look: 'list',         // how folders that hold pictures are shown: 'list' or 'grid'
  memory: new Map(),    // folder -> { view, scrollTop, name } for coming back to it
};

const filterEl = $('filter');

// Whether the listing of the archive that holds a folder tells sizes and dates:
// the outer one may, archives inside tell names alone.
const detailedAt = (folder) => folder.archiveRoot().listing.detailed;

/* ---------- Words for what is on show ---------- */

const rootLabel = () => app.listing?.archive?.name ?? 'Archive';
const folderLabel = (folder) => (folder.parent ? folder.label : rootLabel());
const pathLabel = (folder) => [rootLabel(), ...folder.labelPath()].join(' / ');

function describeCounts(folder) {
  const parts = [];
  if (folder.folders.length) parts.push(count(folder.folders.length, 'folder', 'folders'));
  if (folder.files.length) parts.push(count(folder.files.length, 'file', 'files'));
  if (!parts.length) return 'Empty';
  if (detailedAt(folder)) parts.push(formatSize(folder.bytes));
  return parts.join(' · ');
}

// A folder's total size, or with names alone its number of entries; a file's
// size, from the listing or once fetched.
function sizeOf(entry, url) {
  if (entry.folder) return detailedAt(entry.folder) ? formatSize(entry.size) : count(entry.folder.entryCount, 'item', 'items');
  const bytes = entry.size ?? store.sizes.get(url);
  return bytes == null ? null : formatSize(bytes);
}

// What a row of the contents list says about an entry.
function describe(entry) {
  const url = entry.folder ? null : itemUrl(entry);
  const info = entry.info;
  const title = entry.folder ? entry.label + ' — ' + describeCounts(entry.folder) : [entry.label,
    info?.packedSize != null ? 'packed ' + formatSize(info.packedSize) : null,
    info?.crc ? 'CRC ' + info.crc : null,
    info?.encrypted ? 'encrypted' : null,
    info?.link ? (info.link === 'hard' ? 'hard link to ' : 'link to ') + (info.target ?? '…') : null].filter(Boolean).join(' · ');
  const sniffed = url && store.sniffed.get(url);
  return {
    ...lookOf(entry, sniffed),
    archive: !entry.folder && mayBeArchive(entry.name, sniffed),
    size: sizeOf(entry, url),
    date: entry.modified == null ? null : formatDate(entry.modified),
    path: app.query ? 'in ' + pathLabel(entry.parent) : '',
    picked: selection.state(entry),
    title,
  };
}

function titleFor(place) {
  const named = place.file != null ? place.folder.labelOf(place.file) : place.folder.parent ? place.folder.label : null;
  return [named, app.listing.archive?.name, 'Vorsel'].filter(Boolean).join(' — ');
}

/* ---------- The views ---------- */

// A new password may open the grid's locked thumbnails.
const store = new ItemStore({ onLearn: () => view.refresh(), askPassword, onPassword: () => view.refresh() });
const innerArchives = new InnerArchives(store);

const contents = new Contents($('list'), {
  describe,
  onOpen: openEntry,
  onDownload: (entry) => { if (!entry.folder) download(store, entry); },
  onOpenArchive: openAsArchive,
  onUp: goUp,
  onMark: mark,
});

const thumbnails = new Thumbnails(store);
const grid = new Grid($('grid'), { describe, thumbnails, onOpen: openEntry, onUp: goUp });

let view = contents;    // the view on show: the contents list or the grid

const tree = new FolderTree($('tree'), {
  label: folderLabel,
  describe: describeCounts,
  onOpen(folder) {
    closeDrawer();
    if (app.query) clearFilter();
    navigate(folder);
  },
});

const preview = new Preview({
  store,
  pathLabel,
  siblings: (folder) => folder.list(sortAt(folder)),
  onClose: closePreview,
  onStep: (folder, name) => navigate(folder, name, { replace: true }),
  onOpenArchive: openAsArchive,
  onFollow: ({ folder, file }) => navigate(folder, file, { preview: file != null }),
});

/* ---------- Picking entries and taking them out ---------- */

// The picks of the contents list; they stay while the reader moves through
// the archive's folders, and belong to the archive on show (outer or inside).
const selection = new Selection({
  addressOf,
  scopeOf: (entry) => entry.parent.archiveRoot(),
  onChange: () => { contents.refresh(); showSelection(); },
});

// What a click or a key of the contents list asks of the picks; true when
// 'clear' dropped some.
function mark(what, index) {
  const source = { length: contents.length, at: (i) => contents.entry(i) };
  if (what === 'clear') {
    if (!selection.size) return false;
    selection.clear();
    return true;
  }
  if (what === 'toggle' && selection.state(contents.entry(index)) === 'within') toast('It is in a folder that is picked already: the folder stands for all it holds.', { key: 'pick' });
  else if (what === 'toggle') selection.toggle(source, index);
  else if (what === 'extend') selection.extend(source, index);
  else if (what === 'all') selection.all(source);
  if (selection.full) toast(`A selection holds at most ${count(SELECTION_LIMIT, 'item', 'items')}; pick folders to take more.`, { key: 'pick', ms: 6000 });
  return false;
}

function showSelection() {
  const n = selection.size;
  $('selBar').hidden = n === 0;
  $('listCard').classList.toggle('picking', n > 0);
  $('selCount').textContent = n ? count(n, 'item', 'items') + ' selected' : '';
}

const archiveLabel = (root) => (root.parent ? root.label : rootLabel());

// Writes entries into a folder that the reader picks, or, where the browser
// cannot pick one, offers the zip.
async function extractEntries(entries, base, label, zip) {
  if (!canPickFolder()) {
    toast('This browser cannot write into a folder on your disk: the items come as a zip instead.', { key: 'download', ms: 8000 });
    zip();
    return;
  }
  await pickAndExtract(entries, base, { store, title: 'Extracting ' + label });
}

$('selClear').addEventListener('click', () => selection.clear());
$('selZip').addEventListener('click', () => downloadSelectionZip(store, selection.addresses()));
$('selExtract').addEventListener('click', () => {
  const entries = selection.entries();
  extractEntries(entries, commonFolder(entries), count(entries.length, 'picked item', 'picked items'),
    () => downloadSelectionZip(store, selection.addresses()));
});
$('folderZip').addEventListener('click', () => { if (app.folder) downloadFolderZip(store, app.folder, folderLabel(app.folder)); });
$('folderExtract').addEventListener('click', () => {
  const folder = app.folder;
  if (folder) extractEntries(folder.list('name'), folder, '“' + folderLabel(folder) + '”', () => downloadFolderZip(store, folder, folderLabel(folder)));
});

// The test of the archive on show; a bad item is revealed in its folder.
$('testArchive').addEventListener('click', () => {
  const root = (app.folder ?? app.opening?.folder ?? app.listing.root).archiveRoot();
  testArchive({
    url: searchBase(root) + '?test',
    headers: store.passwordHeaders(),
    title: 'Testing ' + archiveLabel(root),
    onReveal(path) {
      const place = resolveShown(root, path);
      if (!place) { toast('Not in the listing: ' + path); return; }
      navigate(place.folder, null, { focusName: place.file ?? undefined });
      view.element.focus();
    },
  });
});

/* ---------- The reader ---------- */

// A folder's pictures in reading order: by name, as people count.
const picturesOf = (folder) => folder.list('name').filter((e) => !e.folder && kindFromName(e.name)?.kind === 'image');

// The reader keeps the page read last per archive (its name and size) and folder.
const reader = new Reader({
  store,
  thumbnails,
  placeKey: (folder) => 'reader.at:' + JSON.stringify([app.listing.archive?.name ?? '', app.listing.archive?.size ?? null, ...folder.path()]),
  onClose: closeReader,
});

// The reader is on show when the address names a folder and the history entry
// says so: opened from the page ('pushed', which closing goes back from) or at
// once for a comic ('opened', which closing turns into the folder's entry).
function openReader() {
  if (!app.folder || app.query) return;
  history.pushState({ reader: 'pushed' }, '', placeHash({ folder: app.folder, file: null }));
  route();
}

function closeReader() {
  if (!reader.isOpen) return;
  if (history.state?.reader === 'pushed') history.back();
  else { history.replaceState(null, '', location.hash); route(); }
}
$('readButton').addEventListener('click', openReader);

/* ---------- Showing a folder ---------- */

// Where the reader was in the folder on show, for coming back to it.
function rememberPlace() {
  if (!app.folder || app.query) return;
  app.memory.set(app.folder, { view, scrollTop: view.scrollTop, name: view.activeEntry()?.name });
}

// Whether the names of a folder's files tell pictures among them; worked out
// once per folder.
const picturesIn = new WeakMap();
function holdsPictures(folder) {
  if (!picturesIn.has(folder)) picturesIn.set(folder, folder.files.some((name) => kindFromName(name)?.kind === 'image'));
  return picturesIn.get(folder);
}

// Puts the list or the grid on show; the other lets go of its entries, and the
// focus that it had goes to the one on show.
function useView(next) {
  if (next === view) return;
  const focused = document.activeElement === view.element;
  view.clear();
  view.element.hidden = true;
  view = next;
  view.element.hidden = false;
  $('listCard').classList.toggle('as-grid', view === grid);
  if (focused) view.element.focus();
}

// The folder's zip and extraction, offered while a folder's entries are on show.
function showFolderActions(shown, filled = true) {
  for (const id of ['folderZip', 'folderExtract']) {
    $(id).hidden = !shown;
    $(id).disabled = !filled;
  }
}

// The grid's toggle, offered for folders that hold pictures.
function showToggle(offered) {
  $('gridToggle').hidden = !offered;
  $('gridToggle').setAttribute('aria-pressed', view === grid ? 'true' : 'false');
  $('readButton').hidden = !offered;
}

function toggleGrid() {
  if (app.query || !app.folder || !holdsPictures(app.folder)) return;
  app.look = view === grid ? 'list' : 'grid';
  savePref('look', app.look);
  showFolder(app.folder, { force: true, focusName: view.activeEntry()?.name });
}
$('gridToggle').addEventListener('click', toggleGrid);

function showFolder(folder, { force = false, focusName = null } = {}) {
  if (app.folder === folder && !force && !app.query) {
    if (focusName != null) view.select((e) => e.name === focusName);
    return;
  }
  rememberPlace();
  app.folder = folder;
  app.query = '';
  showArchiveOf(folder);
  const entries = folder.list(sortAt(folder));
  const memory = app.memory.get(folder);
  const wanted = focusName ?? memory?.name;
  const pictures = holdsPictures(folder);
  useView(pictures && app.look === 'grid' ? grid : contents);
  view.show({ length: entries.length, at: (i) => entries[i], query: null }, {
    active: wanted == null ? 0 : Math.max(0, entries.findIndex((e) => e.name === wanted)),
    scrollTop: memory?.view === view ? memory.scrollTop : 0,
  });
  showToggle(pictures);
  showFolderActions(true, folder.entryCount > 0);
  setListLabel('Contents of ' + folderLabel(folder));
  renderCrumbs(folder);
  $('counts').textContent = describeCounts(folder);
  $('counts').hidden = false;
  $('sortSeg').hidden = false;
  showListState(folder.entryCount ? null : { icon: 'folder', title: 'This folder is empty', text: 'The archive lists nothing inside it.' });
  tree.show(folder);
}

// What depends on the archive that holds the folder on show: the filter's
// index and words, the date column and the orders that need details.
function showArchiveOf(folder) {
  const root = folder.archiveRoot();
  if (app.index?.root !== root) {
    if (!app.indexes.has(root)) app.indexes.set(root, new SearchIndex(root));
    app.index = app.indexes.get(root);
    sortIndexWhileIdle(app.index);
    const words = 'Filter every name in ' + (root === app.listing.root ? 'the archive' : root.label);
    if (found.mode === 'names') {
      filterEl.placeholder = words;
      filterEl.setAttribute('aria-label', words);
    }
  }
  $('listCard').classList.toggle('dated', root.listing.detailed);
  showSortButtons(root.listing.detailed);
}

function setListLabel(text) {
  for (const shown of [contents, grid]) shown.element.setAttribute('aria-label', text);
  $('listLabel').textContent = text;
}

// The folders down to the one on show, each archive on the way marked as one;
// `opening` names an archive inside that is opening below it.
function renderCrumbs(folder, opening = null) {
  const steps = trail(folder);
  const crumb = (label, href, isArchive) => {
    const content = [isArchive ? icon('archive') : null, el('span', { text: label })];
    const node = href ? el('a', { href }, ...content) : el('span', { class: 'here', 'aria-current': 'location' }, ...content);
    node.title = label;
    return el('li', null, node);
  };
  $('crumbs').replaceChildren(
    ...steps.map((step, i) => crumb(folderLabel(step.folder), i === steps.length - 1 && opening == null ? null : step.hash, step.archive)),
    opening == null ? '' : crumb(opening, null, true));
  const nav = $('crumbs').parentElement;
  nav.scrollLeft = nav.scrollWidth;
}

// A note over the list, for an empty folder, no hits, an archive inside that
// opens (`busy`) or failed to (`bad`, with `buttons`).
function showListState(info) {
  const box = $('listState');
  box.hidden = !info;
  box.setAttribute('role', info?.bad ? 'alert' : 'status');
  box.setAttribute('aria-busy', info?.busy ? 'true' : 'false');
  box.replaceChildren(...(info ? [el('div', { class: 'box' },
    info.busy ? el('div', { class: 'spinner', 'aria-hidden': 'true' }) : el('div', { class: info.bad ? 'big bad' : 'big' }, icon(info.icon)),
    el('h2', { text: info.title }),
    info.text ? el('p', { text: info.text }) : null,
    info.buttons ? el('div', { class: 'row-btns' }, ...info.buttons) : null)] : []));
}

/* ---------- Order ---------- */

// The orders by size and date need a listing that tells them: the reader's
// order holds where it can, names elsewhere (as in archives inside).
const sortAt = (folder) => (detailedAt(folder) || !DETAIL_SORTS.includes(app.sort) ? app.sort : 'name');

function showSortButtons(detailed) {
  const shown = detailed || !DETAIL_SORTS.includes(app.sort) ? app.sort : 'name';
  for (const button of $('sortSeg').querySelectorAll('button')) {
    button.setAttribute('aria-checked', button.dataset.sort === shown ? 'true' : 'false');
    button.hidden = !detailed && DETAIL_SORTS.includes(button.dataset.sort);
  }
}

function setSort(mode, { save = true } = {}) {
  app.sort = SORTS.includes(mode) && (app.listing.detailed || !DETAIL_SORTS.includes(mode)) ? mode : 'name';
  if (save) savePref('sort', app.sort);
  showSortButtons(app.folder ? detailedAt(app.folder) : app.listing.detailed);
  if (app.folder && !app.query) showFolder(app.folder, { force: true, focusName: view.activeEntry()?.name });
}

$('sortSeg').addEventListener('click', (event) => {
  const button = event.target.closest('button');
  if (button) setSort(button.dataset.sort);
});
$('sortSeg').addEventListener('keydown', (event) => {
  if (event.key !== 'ArrowLeft' && event.key !== 'ArrowRight') return;
  event.preventDefault();
  const shown = [...$('sortSeg').querySelectorAll('button:not([hidden])')];
  const at = shown.findIndex((b) => b.getAttribute('aria-checked') === 'true');
  const next = shown[(at + (event.key === 'ArrowLeft' ? shown.length - 1 : 1)) % shown.length];
  setSort(next.dataset.sort);
  next.focus();
});

/* ---------- The filter ---------- */

function runFilter() {
  const query = filterEl.value;
  $('clearFilter').hidden = !query;
  $('slashHint').hidden = !!query;
  if (!query.trim()) {
    if (app.query) showFolder(app.folder ?? app.opening.folder, { force: true });
    return;
  }
  const hits = app.index.search(query);
  rememberPlace();
  app.query = query.trim();
  useView(contents);
  showToggle(false);
  showFolderActions(false);
  contents.show({ length: hits.length, at: (i) => app.index.entry(hits[i]), query: app.query });
  setListLabel('Names matching ' + app.query);
  $('crumbs').replaceChildren(el('li', null, el('span', { class: 'here', 'aria-current': 'location' }, icon('search'),
    el('span', { text: count(hits.length, 'match', 'matches') + ' among ' + count(app.index.size, 'name', 'names') }))));
  $('counts').hidden = true;
  $('sortSeg').hidden = true;
  const where = app.index.root === app.listing.root ? 'the archive' : '“' + app.index.root.label + '”';
  showListState(hits.length ? null : { icon: 'search', title: 'No names match “' + app.query + '”', text: `The filter looks at every name in ${where}, in every folder.` });
}

function clearFilter() {
  filterEl.value = '';
  runFilter();
}

filterEl.addEventListener('input', () => {
  if (found.mode === 'names') runFilter();
  else $('clearFilter').hidden = !filterEl.value;
});
filterEl.addEventListener('keydown', (event) => {
  if (found.mode === 'contents') {
    if (event.key === 'Enter') {
      event.preventDefault();
      startContentSearch();
    } else if (event.key === 'ArrowDown' && found.rows.length) {
      event.preventDefault();
      moveResult(found.active < 0 ? 0 : found.active);
      $('csResults').focus();
    } else if (event.key === 'Escape') {
      event.preventDefault();
      leaveContentSearch();
    }
    return;
  }
  if (event.key === 'Escape') {
    event.preventDefault();
    clearFilter();
    view.element.focus();
  } else if (event.key === 'ArrowDown' && view.length) {
    event.preventDefault();
    view.element.focus();
    view.setActive(app.query ? 0 : view.active);
  } else if (event.key === 'Enter' && app.query && contents.length) {
    event.preventDefault();
    openEntry(contents.activeEntry());
    contents.element.focus();
  }
});
$('clearFilter').addEventListener('click', () => {
  if (found.mode === 'contents') { filterEl.value = ''; $('clearFilter').hidden = true; filterEl.focus(); return; }
  clearFilter();
  view.element.focus();
});

/* ---------- Contents search ---------- */

// The search of the items' contents: the words of the filter box, sent to the
// server when Enter is pressed in Contents mode; its results are grouped by
// item in a panel in place of the list, and the address holds the search.
const found = {
  mode: 'names',        // what the box searches: 'names' or 'contents'
  regex: false,
  caseSensitive: false,
  shown: null,          // the terms of the search on show, with the root of the archive it searches
  groups: null,
  rows: [],             // the result rows on show, in order: { group, hit, element }
  active: -1,
  runner: null,
};

function setSearchMode(mode) {
  found.mode = mode;
  for (const button of $('searchMode').querySelectorAll('button')) button.setAttribute('aria-checked', button.dataset.mode === mode ? 'true' : 'false');
  $('regexToggle').hidden = $('caseToggle').hidden = mode !== 'contents';
  const words = mode === 'contents' ? 'Search the contents of every item (Enter)' : 'Filter every name in the archive';
  filterEl.placeholder = words;
  filterEl.setAttribute('aria-label', words);
  if (mode === 'names') {
    if (found.shown) leaveContentSearch();
    else if (filterEl.value) runFilter();
  } else if (app.query) {
    app.query = '';
    showFolder(app.folder ?? app.listing.root, { force: true });
  }
}
for (const button of $('searchMode').querySelectorAll('button')) button.addEventListener('click', () => { setSearchMode(button.dataset.mode); filterEl.focus(); });
for (const [id, key] of [['regexToggle', 'regex'], ['caseToggle', 'caseSensitive']]) {
  $(id).addEventListener('click', () => {
    found[key] = !found[key];
    $(id).setAttribute('aria-pressed', found[key] ? 'true' : 'false');
    if (found.shown) startContentSearch({ replace: true });
  });
}

// The address of the archive on show, for its search: the outer one or one inside.
function searchBase(root) {
  return root.isInnerArchive ? LISTING_URL + '/' + root.path().map(encodeURIComponent).join('/') : LISTING_URL;
}

function startContentSearch({ replace = false } = {}) {
  const pattern = filterEl.value.trim();
  if (!pattern) return;
  const terms = { pattern, regex: found.regex, caseSensitive: found.caseSensitive };
  const hash = searchHash(terms);
  if (hash !== location.hash) {
    if (replace) history.replaceState(null, '', hash);
    else history.pushState(null, '', hash);
  }
  showContentSearch(terms);
}

// Shows the search in the address: runs it unless it is the one on show.
function showContentSearch(terms) {
  const root = app.index?.root ?? app.listing.root;
  const same = found.shown && found.shown.root === root && JSON.stringify({ ...found.shown, root: null }) === JSON.stringify({ ...terms, root: null });
  if (preview.isOpen) preview.hide();
  if (found.mode !== 'contents') setSearchMode('contents');
  Object.assign(found, { regex: terms.regex, caseSensitive: terms.caseSensitive });
  $('regexToggle').setAttribute('aria-pressed', terms.regex ? 'true' : 'false');
  $('caseToggle').setAttribute('aria-pressed', terms.caseSensitive ? 'true' : 'false');
  filterEl.value = terms.pattern;
  $('clearFilter').hidden = false;
  $('slashHint').hidden = true;
  tree.show(app.folder ?? root);
  view.element.hidden = true;
  $('listState').hidden = true;
  $('contentPanel').hidden = false;
  $('counts').hidden = true;
  $('sortSeg').hidden = true;
  $('gridToggle').hidden = true;
  showFolderActions(false);
  setListLabel('Lines that match ' + terms.pattern);
  $('crumbs').replaceChildren(el('li', null, el('span', { class: 'here', 'aria-current': 'location' }, icon('search'), el('span', { text: 'Contents matching “' + terms.pattern + '”' }))));
  document.title = ['“' + terms.pattern + '”', app.listing.archive?.name, 'Vorsel'].filter(Boolean).join(' — ');
  if (same) return;
  found.shown = { ...terms, root };
  found.groups = new ResultGroups();
  found.rows = [];
  found.active = -1;
  $('csResults').replaceChildren();
  $('csBar').style.width = '0';
  $('csBar').parentElement.hidden = false;
  $('csStatus').textContent = 'Searching…';
  $('csStop').hidden = false;
  found.runner?.stop();
  const groupElements = new Map();
  found.runner = new ContentSearch({
    onHit: (hit) => {
      const group = found.groups.add(hit);
      let head = groupElements.get(group);
      if (!head) {
        head = el('div', { class: 'cs-item' }, el('span', { text: group.item }), el('span', { class: 'cs-count' }));
        groupElements.set(group, head);
        $('csResults').append(head);
      }
      head.lastChild.textContent = count(group.hits.length, 'line', 'lines');
      const pieces = matchedPieces(hit.text, hit.ranges);
      const text = el('span', { class: 'cs-text' }, ...pieces.map((piece, i) => (i % 2 ? el('mark', { text: piece }) : piece)));
      const row = { group, hit, element: el('div', { class: 'cs-line', role: 'option', 'aria-selected': 'false' }, el('span', { class: 'cs-no', text: String(hit.line) }), text) };
      const at = found.rows.length;
      row.element.addEventListener('click', () => { moveResult(at); openResult(at); });
      found.rows.push(row);
      // Rows of a group stay together: a group's new row goes after its last.
      const last = [...found.rows].reverse().find((r) => r.group === group && r !== row);
      (last ? last.element : head).after(row.element);
      if (found.active < 0) moveResult(0, { scroll: false });
    },
    onProgress: (p) => {
      $('csBar').style.width = (p.of_bytes ? Math.min(100, (100 * p.bytes) / p.of_bytes) : 0) + '%';
      $('csStatus').textContent = `${count(p.items, 'item', 'items')} of ${p.of_items} · ${formatSize(p.bytes)} of ${formatSize(p.of_bytes)} · ${count(found.groups.lines, 'line', 'lines')} found`;
    },
    onDone: (d) => {
      $('csBar').style.width = '100%';
      $('csStop').hidden = true;
      const more = d.truncated ? ' (the first ' + d.matches + '; there are more)' : '';
      $('csStatus').textContent = `${count(d.matches, 'line', 'lines')} in ${count(found.groups.items.length, 'item', 'items')}${more} · ${count(d.items, 'item', 'items')} searched` +
        (d.skipped ? `, ${d.skipped} skipped (binary or encrypted)` : '') + ` · ${(d.ms / 1000).toFixed(1)} s`;
    },
    onFail: (error) => {
      // No bar beside a refusal: nothing was searched.
      $('csStop').hidden = true;
      $('csBar').parentElement.hidden = true;
      $('csStatus').textContent = error.message;
    },
  });
  // Encrypted items are searched with the password the reader gave last.
  found.runner.start(searchUrl(searchBase(root), terms), store.passwordHeaders());
}

$('csStop').addEventListener('click', () => {
  found.runner?.stop();
  $('csStop').hidden = true;
  $('csStatus').textContent += ' · stopped';
});

function leaveContentSearch({ show = true } = {}) {
  found.runner?.stop();
  found.shown = null;
  $('contentPanel').hidden = true;
  view.element.hidden = false;
  if (show) {
    filterEl.value = '';
    $('clearFilter').hidden = true;
    if (readSearchHash(location.hash)) navigate(app.folder ?? app.listing.root, null, { replace: true });
    else showFolder(app.folder ?? app.listing.root, { force: true });
  }
}

function moveResult(at, { scroll = true } = {}) {
  if (!found.rows.length) return;
  at = Math.max(0, Math.min(found.rows.length - 1, at));
  if (found.active >= 0) found.rows[found.active].element.setAttribute('aria-selected', 'false');
  found.active = at;
  const row = found.rows[at].element;
  row.setAttribute('aria-selected', 'true');
  if (scroll) row.scrollIntoView({ block: 'nearest' });
}

// Opens the result's item in the preview, at its line.
function openResult(at) {
  const { group, hit } = found.rows[at];
  const place = resolve(found.shown.root, group.address.split('/'));
  if (place.file == null) return;
  pendingMark = { line: hit.line, text: hit.text, ranges: hit.ranges };
  navigate(place.folder, place.file, { preview: true });
}
let pendingMark = null;

$('csResults').addEventListener('keydown', (event) => {
  if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
    event.preventDefault();
    moveResult(found.active + (event.key === 'ArrowDown' ? 1 : -1));
  } else if (event.key === 'Enter' && found.active >= 0) {
    event.preventDefault();
    openResult(found.active);
  }
});

// While the filter is on, Escape or Backspace ends it; otherwise Backspace goes
// up, from an archive inside to the folder that holds it.
function goUp() {
  if (app.query) { clearFilter(); view.element.focus(); return; }
  if (app.opening) { navigate(app.opening.folder, null, { focusName: app.opening.name }); return; }
  const folder = app.folder;
  if (folder && folder.parent) navigate(folder.parent, null, { focusName: folder.name });
}

/* ---------- Places in the address ---------- */

// A folder opens in the list; a file opens in the preview, over the filter's
// hits when the filter is on, so that closing it comes back to them.
function openEntry(entry) {
  if (entry.folder) navigate(entry.folder);
  else navigate(entry.parent, entry.name, { preview: true });
}

// Opens an archive inside the archive in the list. From its preview, the
// archive takes the preview's place in the history.
function openAsArchive(entry) {
  goTo(innerArchiveHash(entry.parent, entry.name), { replace: !!(preview.isOpen && history.state?.preview) });
}

function navigate(folder, file = null, options = {}) {
  goTo(placeHash({ folder, file }), options);
}

function goTo(target, { replace = false, preview: asPreview = false, focusName = null } = {}) {
  if (target !== location.hash) {
    // A preview remembers that it was opened from here, so that closing it can
    // go back instead of adding another step to the history.
    const stateObject = asPreview ? { preview: true } : null;
    if (replace) history.replaceState(stateObject ?? history.state, '', target);
    else history.pushState(stateObject, '', target);
  }
  route({ focusName });
}

// Closing goes back in history when the preview was opened from the page, so
// that Back after closing does not open it again; otherwise the item's folder
// takes the preview's place in the history.
function closePreview() {
  if (!preview.isOpen) return;
  if (history.state && history.state.preview) history.back();
  else navigate(preview.folder, null, { replace: true });
}

function route({ focusName = null } = {}) {
  if (!app.listing) return;
  const hash = location.hash;
  const searched = readSearchHash(hash);
  if (searched) {
    showContentSearch(searched);
    return;
  }
  const place = resolve(app.listing.root, partsOf(hash), { intoLast: endsInFolder(hash) });
  if (place.unopened != null) {
    openInnerArchive(place.folder, place.unopened, hash);
    return;
  }
  app.opening = null;
  if (place.missing) toast('Not in this archive: ' + place.missing);
  const canonical = placeHash(place);
  if (canonical !== location.hash) history.replaceState(place.missing ? null : history.state, '', canonical);
  // The filter's hits stay under a preview and after it; a move to another folder ends the filter.
  const overHits = (app.query || found.shown) && (place.file != null || (!found.shown && place.folder === app.folder));
  if (!overHits && found.shown) leaveContentSearch({ show: false });
  if (!overHits) {
    filterEl.value = '';
    $('clearFilter').hidden = true;
    $('slashHint').hidden = false;
    showFolder(place.folder, { focusName: focusName ?? place.file });
  }
  if (place.file != null) {
    preview.open(place.folder, place.folder.list(sortAt(place.folder)).find((e) => !e.folder && e.name === place.file), pendingMark);
    pendingMark = null;
  } else if (preview.isOpen) {
    const shown = preview.entry;
    preview.hide();
    view.select((e) => e === shown);
    view.element.focus();
  }
  const pictures = place.file == null && history.state?.reader ? picturesOf(place.folder) : [];
  if (pictures.length) reader.open(place.folder, pictures);
  else if (reader.isOpen) {
    reader.hide();
    view.element.focus();
  }
  document.title = titleFor(place);
}
window.addEventListener('popstate', () => route());

// The address leads into an archive inside the archive that is not open yet:
// the folder that holds it is shown while it opens, then the place is followed
// again; a failure is said in the list, with ways on.
async function openInnerArchive(folder, name, hash) {
  const label = folder.labelOf(name);
  if (preview.isOpen) preview.hide();
  if (app.query) clearFilter();
  showFolder(folder, { focusName: name });
  // The list holds no folder's entries while the archive opens: showing one draws it anew.
  rememberPlace();
  app.folder = null;
  app.opening = { folder, name };
  view.clear();
  renderCrumbs(folder, label);
  $('counts').hidden = true;
  $('gridToggle').hidden = true;
  showFolderActions(false);
  setListLabel('Opening ' + label);
  document.title = [label, app.listing.archive?.name, 'Vorsel'].filter(Boolean).join(' — ');
  showListState({ busy: true, title: `Opening “${label}”…`, text: 'Vorsel unpacks an archive inside the archive when it is first opened; a large one takes a while.' });
  let failure = null;
  try {
    await innerArchives.open(folder, name);
  } catch (error) {
    failure = error;
  }
  if (location.hash !== hash) return;   // the reader went elsewhere meanwhile
  if (!failure) {
    // A comic inside opens in the reader at once when the address leads to its root.
    const root = folder.innerArchive(name);
    const comic = hash === placeHash({ folder: root, file: null }) ? comicFolder(root, name) : null;
    if (comic) history.replaceState({ reader: 'opened' }, '', placeHash({ folder: comic, file: null }));
    route();
    if (!reader.isOpen) view.element.focus();
    return;
  }
  const back = el('button', { class: 'btn primary', type: 'button', onclick: () => navigate(folder, null, { focusName: name }) },
    icon('up'), 'Back to ' + folderLabel(folder));
  const retry = el('button', { class: 'btn', type: 'button', onclick: () => route() }, icon('retry'), 'Try again');
  showListState({ icon: 'alert', bad: true, title: `“${label}” could not be opened as an archive`, text: failure.message,
    buttons: failure.status === 404 ? [back] : [back, retry] });
  back.focus();
}
window.addEventListener('hashchange', () => route());

/* ---------- Page-wide keys and panes ---------- */

document.addEventListener('keydown', (event) => {
  if (event.defaultPrevented || preview.isOpen || reader.isOpen || !app.listing) return;
  const typing = event.target.closest && event.target.closest('input, textarea, select, [contenteditable]');
  if (event.key === '/' && !typing && !event.ctrlKey && !event.metaKey && !event.altKey) {
    event.preventDefault();
    filterEl.focus();
    filterEl.select();
  } else if (event.key === 'Backspace' && !typing) {
    event.preventDefault();
    goUp();
  } else if (event.altKey && !event.ctrlKey && !event.metaKey && (event.key.toLowerCase() === 'f' || event.code === 'KeyF')) {
    event.preventDefault();
    setSearchMode(found.mode === 'names' ? 'contents' : 'names');
    filterEl.focus();
  } else if (event.altKey && !event.ctrlKey && !event.metaKey && (event.key.toLowerCase() === 'g' || event.code === 'KeyG')) {
    event.preventDefault();
    toggleGrid();
  } else if (event.key === 'Escape') {
    closeDrawer();
  }
});
$('skipLink').addEventListener('click', (event) => { event.preventDefault(); view.element.focus(); });
setUpPanes();
// Row heights follow the pointer kind; lists redraw when they change.
matchMedia('(pointer: coarse)').addEventListener('change', () => { view.update(); tree.update(); });

/* ---------- Loading the listing ---------- */

function idle(callback) {
  if (window.requestIdleCallback) requestIdleCallback(callback, { timeout: 1000 });
  else setTimeout(() => callback({ timeRemaining: () => 8 }), 16);
}

// Puts the filter's index into name order while the page is idle; not while
// hits are on show, as moving names would move them.
function sortIndexWhileIdle(index) {
  idle((deadline) => {
    if (index === app.index && index.sortSome(() => !app.query && deadline.timeRemaining() > 1)) sortIndexWhileIdle(index);
  });
}

// The header: the archive's file name and size when the listing tells them,
// and what it holds.
function showArchive({ stats, archive, detailed }) {
  $('archiveName').hidden = !archive;
  $('archiveFile').textContent = archive ? archive.name : '';
  $('archiveSize').textContent = archive?.size != null ? formatSize(archive.size) : '';
  $('archiveName').title = archive ? archive.name + (archive.size != null ? ', ' + count(archive.size, 'byte', 'bytes') : '') : '';
  const parts = [count(stats.folders, 'folder', 'folders'), count(stats.files, 'file', 'files')];
  if (detailed) parts.push(formatSize(stats.bytes) + ' unpacked');
  $('stats').textContent = parts.join(' · ');
}

// The bar and the words of a long first read, in the box that waits for the listing.
function showReading(box, figures) {
  let bar = box.querySelector('.reading');
  if (!bar) {
    bar = el('div', { class: 'reading' }, el('div', { class: 'progress', role: 'progressbar', 'aria-valuemin': '0', 'aria-valuemax': '100' }, el('i')), el('p', { class: 'reading-text' }));
    box.querySelector('.box').append(bar);
  }
  const share = Math.round(readingShare(figures) * 100);
  bar.firstChild.setAttribute('aria-valuenow', String(share));
  bar.firstChild.firstChild.style.width = share + '%';
  bar.lastChild.textContent = readingText(figures);
}

async function load() {
  const box = $('loadState');
  box.hidden = false;
  box.setAttribute('aria-busy', 'true');
  box.replaceChildren(el('div', { class: 'box' }, el('div', { class: 'spinner', 'aria-hidden': 'true' }), el('p', { text: 'Reading the archive…' })));
  // A long first read shows its figures while the listing waits for it.
  const reading = new AbortController();
  followReading((figures) => showReading(box, figures), { signal: reading.signal });
  let listing;
  try {
    listing = await loadListing();
  } catch (error) {
    reading.abort();
    box.setAttribute('aria-busy', 'false');
    const retry = el('button', { class: 'btn primary', type: 'button', onclick: load }, icon('retry'), 'Try again');
    box.replaceChildren(el('div', { class: 'box' },
      el('div', { class: 'big bad' }, icon('alert')),
      el('h2', { text: 'The archive’s contents could not be loaded' }),
      el('p', { text: error.message }),
      el('div', { class: 'row-btns' }, retry)));
    retry.focus();
    return;
  }
  reading.abort();
  Object.assign(app, { listing, index: new SearchIndex(listing.root), indexes: new WeakMap(), folder: null, query: '', opening: null });
  app.indexes.set(listing.root, app.index);
  app.memory.clear();
  selection.clear();
  showArchive(listing);
  tree.setRoot(listing.root);
  app.look = loadPref('look', 'list');
  setSort(loadPref('sort', 'name'), { save: false });
  filterEl.disabled = false;
  box.hidden = true;
  box.setAttribute('aria-busy', 'false');
  // A comic opens in the reader at once, unless the address leads elsewhere.
  const comic = !partsOf(location.hash).length && !history.state && comicFolder(listing.root, listing.archive?.name);
  if (comic) history.replaceState({ reader: 'opened' }, '', placeHash({ folder: comic, file: null }));
  route();
  if (!preview.isOpen && !reader.isOpen) view.element.focus();
  requestAnimationFrame(() => requestAnimationFrame(() => performance.mark('vorsel:first-folder')));
  sortIndexWhileIdle(app.index);
}

load();

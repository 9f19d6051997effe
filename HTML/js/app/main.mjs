// The viewer: init() makes the page's parts and joins them, loads the listing
// and keeps what is on show — the folder, the order, the filter — in step with
// the page's address. Archives inside the archive open as folders when the
// address leads into them (see places.mjs). The views (contents list or grid,
// folder tree, preview, reader) hold their own state and report what the reader
// asks for through the callbacks given here; the parts of the page reach each
// other through `ui`, which holds the state and what each part offers.
import { download } from '../actions/download.mjs';
import { comicFolder } from '../model/pages.mjs';
import { addressOf, partsOf, placeHash } from '../model/places.mjs';
import { SearchIndex } from '../model/search.mjs';
import { Selection } from '../model/selection.mjs';
import { InnerArchives } from '../net/inner.mjs';
import { ItemStore } from '../net/items.mjs';
import { loadListing } from '../net/listing.mjs';
import { followReading } from '../net/reading.mjs';
import { Thumbnails } from '../net/thumbs.mjs';
import { Contents } from '../views/contents.mjs';
import { $, el, icon } from '../views/dom.mjs';
import { FolderTree } from '../views/foldertree.mjs';
import { Grid } from '../views/grid.mjs';
import { closeDrawer, setUpPanes } from '../views/layout.mjs';
import { askPassword } from '../views/password.mjs';
import { loadPref } from '../views/prefs.mjs';
import { Preview } from '../views/preview.mjs';
import { Reader } from '../views/reader.mjs';
import { createFilter } from './filter.mjs';
import { createFolderView } from './folderview.mjs';
import { showArchive, showReading } from './header.mjs';
import { setUpKeys } from './keys.mjs';
import { setUpPicking } from './picking.mjs';
import { createRouting } from './routing.mjs';
import { createSearchPanel } from './searchpanel.mjs';
import { createState, describeCounts, folderLabel, loaded, pathLabel, sortAt } from './state.mjs';

// The views, each told to call through `ui` for what the rest of the page does.
function createViews(ui) {
  const { state } = ui;
  // A new password may open the grid's locked thumbnails.
  const store = new ItemStore({ onLearn: () => state.view.refresh(), askPassword, onPassword: () => state.view.refresh() });
  const thumbnails = new Thumbnails(store);
  const contents = new Contents($('list'), {
    describe: (entry) => ui.describe(entry),
    onOpen: (entry) => ui.openEntry(entry),
    onDownload: (entry) => { if (!entry.folder) download(store, entry); },
    onOpenArchive: (entry) => ui.openAsArchive(entry),
    onUp: () => ui.goUp(),
    onMark: (what, index) => ui.mark(what, index),
  });
  const grid = new Grid($('grid'), {
    describe: (entry) => ui.describe(entry), thumbnails, onOpen: (entry) => ui.openEntry(entry), onUp: () => ui.goUp(),
  });
  const tree = new FolderTree($('tree'), {
    label: (folder) => folderLabel(state, folder),
    describe: describeCounts,
    onOpen(folder) {
      closeDrawer();
      if (state.query) ui.clearFilter();
      ui.navigate(folder);
    },
  });
  const preview = new Preview({
    store,
    pathLabel: (folder) => pathLabel(state, folder),
    siblings: (folder) => folder.list(sortAt(state, folder)),
    onClose: () => ui.closePreview(),
    onStep: (folder, name) => ui.navigate(folder, name, { replace: true }),
    onOpenArchive: (entry) => ui.openAsArchive(entry),
    onFollow: ({ folder, file }) => ui.navigate(folder, file, { preview: file != null }),
  });
  // The reader keeps the page read last per archive (its name and size) and folder.
  const reader = new Reader({
    store,
    thumbnails,
    placeKey: (folder) => 'reader.at:' + JSON.stringify([state.listing.archive?.name ?? '', state.listing.archive?.size ?? null, ...folder.path()]),
    onClose: () => ui.closeReader(),
  });
  // The picks of the contents list; they stay while the reader moves through
  // the archive's folders, and belong to the archive on show (outer or inside).
  const selection = new Selection({
    addressOf,
    scopeOf: (entry) => entry.parent.archiveRoot(),
    onChange: () => { contents.refresh(); ui.showSelection(); },
  });
  state.view = contents;
  return { store, thumbnails, innerArchives: new InnerArchives(store), contents, grid, tree, preview, reader, selection };
}

// Loads the listing into the page, then shows what the address names.
async function load(ui) {
  const { state, tree, selection, preview, reader } = ui;
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
    const retry = el('button', { class: 'btn primary', type: 'button', onclick: () => load(ui) }, icon('retry'), 'Try again');
    box.replaceChildren(el('div', { class: 'box' },
      el('div', { class: 'big bad' }, icon('alert')),
      el('h2', { text: 'The archive’s contents could not be loaded' }),
      el('p', { text: error.message }),
      el('div', { class: 'row-btns' }, retry)));
    retry.focus();
    return;
  }
  reading.abort();
  loaded(state, listing, new SearchIndex(listing.root));
  selection.clear();
  showArchive(listing);
  tree.setRoot(listing.root);
  state.look = loadPref('look', 'list');
  ui.setSort(loadPref('sort', 'name'), { save: false });
  ui.filterEl.disabled = false;
  box.hidden = true;
  box.setAttribute('aria-busy', 'false');
  // A comic opens in the reader at once, unless the address leads elsewhere.
  const comic = !partsOf(location.hash).length && !history.state && comicFolder(listing.root, listing.archive?.name);
  if (comic) history.replaceState({ reader: 'opened' }, '', placeHash({ folder: comic, file: null }));
  ui.route();
  if (!preview.isOpen && !reader.isOpen) state.view.element.focus();
  requestAnimationFrame(() => requestAnimationFrame(() => performance.mark('vorsel:first-folder')));
  ui.sortIndexWhileIdle(state.index);
}

// Sets the page up and loads the listing; the page calls it once.
export function init() {
  const ui = { state: createState() };
  Object.assign(ui, createViews(ui));
  Object.assign(ui, createRouting(ui));
  Object.assign(ui, createFolderView(ui));
  Object.assign(ui, createFilter(ui));
  Object.assign(ui, createSearchPanel(ui));
  Object.assign(ui, setUpPicking(ui));
  setUpKeys(ui);
  $('readButton').addEventListener('click', () => ui.openReader());
  $('skipLink').addEventListener('click', (event) => { event.preventDefault(); ui.state.view.element.focus(); });
  setUpPanes();
  // Row heights follow the pointer kind; lists redraw when they change.
  matchMedia('(pointer: coarse)').addEventListener('change', () => { ui.state.view.update(); ui.tree.update(); });
  return load(ui);
}

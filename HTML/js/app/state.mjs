// What the page has on show, made once by init() and handed to each part of the
// page: the listing, the folder on show, the order, the filter and the contents
// search. The functions below read it without touching the page, so that node's
// tests can check them.
import { count, formatSize } from '../model/format.mjs';
import { DETAIL_SORTS, SORTS } from '../model/order.mjs';

export function createState() {
  return {
    listing: null,        // { root, archive, detailed, stats } from buildTree
    index: null,          // the filter's index of every name in the archive on show (the outer one or one inside)
    indexes: new WeakMap(), // root of an archive -> its filter's index
    opening: null,        // { folder, name } of the archive inside that is opening, or failed to open, on show
    folder: null,         // the folder on show; while the filter is on, the one under its hits
    sort: 'name',
    query: '',            // the filter's words while it is on
    look: 'list',         // how folders that hold pictures are shown: 'list' or 'grid'
    memory: new Map(),    // folder -> { view, scrollTop, name } for coming back to it
    view: null,           // the view on show: the contents list or the grid
    pendingMark: null,    // the line of a contents search's result that the next preview marks
    // The search of the items' contents: what the box searches, the search on
    // show and its result rows.
    found: {
      mode: 'names',      // what the box searches: 'names' or 'contents'
      regex: false,
      caseSensitive: false,
      shown: null,        // the terms of the search on show, with the root of the archive it searches
      groups: null,
      rows: [],           // the result rows on show, in order: { group, hit, element }
      active: -1,
      runner: null,
    },
  };
}

// The state of a freshly loaded listing: nothing on show yet, the old archive's
// indexes and places forgotten.
export function loaded(state, listing, index) {
  Object.assign(state, { listing, index, indexes: new WeakMap([[listing.root, index]]), folder: null, query: '', opening: null });
  state.memory.clear();
}

// Whether the listing of the archive that holds a folder tells sizes and dates:
// the outer one may, archives inside tell names alone.
export const detailedAt = (folder) => folder.archiveRoot().listing.detailed;

/* ---------- Order ---------- */

// The order a folder is listed in: the reader's where the listing that holds it
// tells what it needs, names elsewhere (as in archives inside).
export const orderIn = (sort, detailed) => (detailed || !DETAIL_SORTS.includes(sort) ? sort : 'name');
export const sortAt = (state, folder) => orderIn(state.sort, detailedAt(folder));

// The order that a choice comes to: a known one that the listing can follow, else names.
export const chosenSort = (mode, detailed) => (SORTS.includes(mode) && (detailed || !DETAIL_SORTS.includes(mode)) ? mode : 'name');

/* ---------- Words for what is on show ---------- */

export const rootLabel = (state) => state.listing?.archive?.name ?? 'Archive';
export const folderLabel = (state, folder) => (folder.parent ? folder.label : rootLabel(state));
export const pathLabel = (state, folder) => [rootLabel(state), ...folder.labelPath()].join(' / ');
export const archiveLabel = (state, root) => (root.parent ? root.label : rootLabel(state));

export function describeCounts(folder) {
  const parts = [];
  if (folder.folders.length) parts.push(count(folder.folders.length, 'folder', 'folders'));
  if (folder.files.length) parts.push(count(folder.files.length, 'file', 'files'));
  if (!parts.length) return 'Empty';
  if (detailedAt(folder)) parts.push(formatSize(folder.bytes));
  return parts.join(' · ');
}

// The window's title: what is on show, the archive's name, the program's.
export const titleOf = (state, named) => [named, state.listing.archive?.name, 'Vorsel'].filter(Boolean).join(' — ');

export function titleFor(state, place) {
  const named = place.file != null ? place.folder.labelOf(place.file) : place.folder.parent ? place.folder.label : null;
  return titleOf(state, named);
}

// The page's address and history: every move goes through goTo(), which writes
// the address, and route() shows what the address names. The history is
// followed through popstate alone: a Back or a link within the page fires it
// (and hashchange after it, when the hash changed), and the state of an entry
// can change without its hash (the reader's), which hashchange would miss.
import { kindFromName } from '../model/kinds.mjs';
import { endsInFolder, innerArchiveHash, partsOf, placeHash, resolve } from '../model/places.mjs';
import { toast } from '../views/dom.mjs';
import { readSearchHash } from '../net/contentsearch.mjs';
import { sortAt, titleFor } from './state.mjs';

// What a hash asks for in the archive under `root`: a contents search
// ({ search }), an archive inside that is not open yet ({ unopened: place }),
// or a place ({ place, canonical }), with the hash that names it canonically.
export function readAddress(root, hash) {
  const search = readSearchHash(hash);
  if (search) return { search };
  const place = resolve(root, partsOf(hash), { intoLast: endsInFolder(hash) });
  if (place.unopened != null) return { unopened: place };
  return { place, canonical: placeHash(place) };
}

// The history step of a move from the hash `current` to `target`: none when it
// stays, else a new entry or the current one replaced, with the entry's state.
// A preview remembers that it was opened from the page, so that closing it can
// go back instead of adding another step; a replacement keeps the state it
// replaces otherwise.
export function historyStep(current, target, { replace = false, preview = false } = {}, state = null) {
  if (target === current) return null;
  const marked = preview ? { preview: true } : null;
  return replace ? { method: 'replaceState', state: marked ?? state } : { method: 'pushState', state: marked };
}

// How the preview or the reader closes, from the state of the history entry:
// back, when it was opened from the page, so that Back after closing does not
// open it again; otherwise in place, the folder taking over the entry.
export function closingStep(kind, state) {
  if (kind === 'preview') return state?.preview ? 'back' : 'replace';
  return state?.reader === 'pushed' ? 'back' : 'replace';
}

// Whether the filter's hits, or the contents search's results, stay on show
// under a place: under a preview and after it; a move to another folder ends them.
export function keepsHits({ query, searching, file, sameFolder }) {
  return !!(query || searching) && (file != null || (!searching && sameFolder));
}

// A folder's pictures in reading order: by name, as people count.
export const picturesOf = (folder) => folder.list('name').filter((e) => !e.folder && kindFromName(e.name)?.kind === 'image');

// Calls `route` once for each move through the history of `win`.
export function followHistory(win, route) {
  win.addEventListener('popstate', () => route());
}

// The moves of the page. `ui` holds the parts of the page; these functions join it.
export function createRouting(ui) {
  const { state, preview, reader } = ui;

  function goTo(target, { replace = false, preview: asPreview = false, focusName = null } = {}) {
    const step = historyStep(location.hash, target, { replace, preview: asPreview }, history.state);
    if (step) history[step.method](step.state, '', target);
    route({ focusName });
  }

  const navigate = (folder, file = null, options = {}) => goTo(placeHash({ folder, file }), options);

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

  function closePreview() {
    if (!preview.isOpen) return;
    if (closingStep('preview', history.state) === 'back') history.back();
    else navigate(preview.folder, null, { replace: true });
  }

  // The reader is on show when the address names a folder and the history entry
  // says so: opened from the page ('pushed', which closing goes back from) or at
  // once for a comic ('opened', which closing turns into the folder's entry).
  function openReader() {
    if (!state.folder || state.query) return;
    history.pushState({ reader: 'pushed' }, '', placeHash({ folder: state.folder, file: null }));
    route();
  }

  function closeReader() {
    if (!reader.isOpen) return;
    if (closingStep('reader', history.state) === 'back') history.back();
    else { history.replaceState(null, '', location.hash); route(); }
  }

  // While the filter is on, Escape or Backspace ends it; otherwise Backspace goes
  // up, from an archive inside to the folder that holds it.
  function goUp() {
    if (state.query) { ui.clearFilter(); state.view.element.focus(); return; }
    if (state.opening) { navigate(state.opening.folder, null, { focusName: state.opening.name }); return; }
    const folder = state.folder;
    if (folder && folder.parent) navigate(folder.parent, null, { focusName: folder.name });
  }

  function route({ focusName = null } = {}) {
    if (!state.listing) return;
    const hash = location.hash;
    const asked = readAddress(state.listing.root, hash);
    if (asked.search) {
      ui.showContentSearch(asked.search);
      return;
    }
    if (asked.unopened) {
      ui.openInnerArchive(asked.unopened.folder, asked.unopened.unopened, hash);
      return;
    }
    const { place, canonical } = asked;
    state.opening = null;
    if (place.missing) toast('Not in this archive: ' + place.missing);
    if (canonical !== location.hash) history.replaceState(place.missing ? null : history.state, '', canonical);
    const searching = !!state.found.shown;
    const overHits = keepsHits({ query: state.query, searching, file: place.file, sameFolder: place.folder === state.folder });
    if (!overHits && searching) ui.leaveContentSearch({ show: false });
    if (!overHits) {
      ui.resetFilterBox();
      ui.showFolder(place.folder, { focusName: focusName ?? place.file });
    }
    const view = state.view;
    if (place.file != null) {
      preview.open(place.folder, place.folder.list(sortAt(state, place.folder)).find((e) => !e.folder && e.name === place.file), state.pendingMark);
      state.pendingMark = null;
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
    document.title = titleFor(state, place);
  }

  followHistory(window, route);
  return { goTo, navigate, openEntry, openAsArchive, closePreview, openReader, closeReader, goUp, route };
}

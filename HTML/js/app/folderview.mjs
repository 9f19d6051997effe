// The folder on show: its entries in the list or the grid, the crumbs down to
// it, its counts, the order buttons, the note over an empty folder, and an
// archive inside while it opens or after it failed to.
import { count, formatDate, formatSize } from '../model/format.mjs';
import { kindFromName, lookOf } from '../model/kinds.mjs';
import { itemUrl, placeHash, trail } from '../model/places.mjs';
import { comicFolder } from '../model/pages.mjs';
import { DETAIL_SORTS } from '../model/order.mjs';
import { mayBeArchive } from '../net/inner.mjs';
import { $, el, icon } from '../views/dom.mjs';
import { savePref } from '../views/prefs.mjs';
import { chosenSort, describeCounts, detailedAt, folderLabel, orderIn, pathLabel, sortAt, titleOf } from './state.mjs';

export function createFolderView(ui) {
  const { state, store, selection, contents, grid, tree, preview, reader, innerArchives } = ui;

  // A folder's total size, or with names alone its number of entries; a file's
  // size, from the listing or once fetched.
  function sizeOf(entry, url) {
    if (entry.folder) return detailedAt(entry.folder) ? formatSize(entry.size) : count(entry.folder.entryCount, 'item', 'items');
    const bytes = entry.size ?? store.sizes.get(url);
    return bytes == null ? null : formatSize(bytes);
  }

  // What a row of the contents list, or a tile of the grid, says about an entry.
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
      path: state.query ? 'in ' + pathLabel(state, entry.parent) : '',
      picked: selection.state(entry),
      title,
    };
  }

  // Where the reader was in the folder on show, for coming back to it.
  function rememberPlace() {
    const view = state.view;
    if (!state.folder || state.query) return;
    state.memory.set(state.folder, { view, scrollTop: view.scrollTop, name: view.activeEntry()?.name });
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
    const view = state.view;
    if (next === view) return;
    const focused = document.activeElement === view.element;
    view.clear();
    view.element.hidden = true;
    state.view = next;
    next.element.hidden = false;
    $('listCard').classList.toggle('as-grid', next === grid);
    if (focused) next.element.focus();
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
    $('gridToggle').setAttribute('aria-pressed', state.view === grid ? 'true' : 'false');
    $('readButton').hidden = !offered;
  }

  function toggleGrid() {
    if (state.query || !state.folder || !holdsPictures(state.folder)) return;
    state.look = state.view === grid ? 'list' : 'grid';
    savePref('look', state.look);
    showFolder(state.folder, { force: true, focusName: state.view.activeEntry()?.name });
  }

  function showFolder(folder, { force = false, focusName = null } = {}) {
    if (state.folder === folder && !force && !state.query) {
      if (focusName != null) state.view.select((e) => e.name === focusName);
      return;
    }
    rememberPlace();
    state.folder = folder;
    state.query = '';
    ui.showArchiveOf(folder);
    const entries = folder.list(sortAt(state, folder));
    const memory = state.memory.get(folder);
    const wanted = focusName ?? memory?.name;
    const pictures = holdsPictures(folder);
    useView(pictures && state.look === 'grid' ? grid : contents);
    const view = state.view;
    view.show({ length: entries.length, at: (i) => entries[i], query: null }, {
      active: wanted == null ? 0 : Math.max(0, entries.findIndex((e) => e.name === wanted)),
      scrollTop: memory?.view === view ? memory.scrollTop : 0,
    });
    showToggle(pictures);
    showFolderActions(true, folder.entryCount > 0);
    setListLabel('Contents of ' + folderLabel(state, folder));
    renderCrumbs(folder);
    $('counts').textContent = describeCounts(folder);
    $('counts').hidden = false;
    $('sortSeg').hidden = false;
    showListState(folder.entryCount ? null : { icon: 'folder', title: 'This folder is empty', text: 'The archive lists nothing inside it.' });
    tree.show(folder);
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
      ...steps.map((step, i) => crumb(folderLabel(state, step.folder), i === steps.length - 1 && opening == null ? null : step.hash, step.archive)),
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

  function showSortButtons(detailed) {
    const shown = orderIn(state.sort, detailed);
    for (const button of $('sortSeg').querySelectorAll('button')) {
      button.setAttribute('aria-checked', button.dataset.sort === shown ? 'true' : 'false');
      button.hidden = !detailed && DETAIL_SORTS.includes(button.dataset.sort);
    }
  }

  function setSort(mode, { save = true } = {}) {
    state.sort = chosenSort(mode, state.listing.detailed);
    if (save) savePref('sort', state.sort);
    showSortButtons(state.folder ? detailedAt(state.folder) : state.listing.detailed);
    if (state.folder && !state.query) showFolder(state.folder, { force: true, focusName: state.view.activeEntry()?.name });
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
  $('gridToggle').addEventListener('click', toggleGrid);

  /* ---------- An archive inside, opening ---------- */

  // The address leads into an archive inside the archive that is not open yet:
  // the folder that holds it is shown while it opens, then the place is followed
  // again; a failure is said in the list, with ways on.
  async function openInnerArchive(folder, name, hash) {
    const label = folder.labelOf(name);
    if (preview.isOpen) preview.hide();
    if (state.query) ui.clearFilter();
    showFolder(folder, { focusName: name });
    // The list holds no folder's entries while the archive opens: showing one draws it anew.
    rememberPlace();
    state.folder = null;
    state.opening = { folder, name };
    state.view.clear();
    renderCrumbs(folder, label);
    $('counts').hidden = true;
    $('gridToggle').hidden = true;
    showFolderActions(false);
    setListLabel('Opening ' + label);
    document.title = titleOf(state, label);
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
      ui.route();
      if (!reader.isOpen) state.view.element.focus();
      return;
    }
    const back = el('button', { class: 'btn primary', type: 'button', onclick: () => ui.navigate(folder, null, { focusName: name }) },
      icon('up'), 'Back to ' + folderLabel(state, folder));
    const retry = el('button', { class: 'btn', type: 'button', onclick: () => ui.route() }, icon('retry'), 'Try again');
    showListState({ icon: 'alert', bad: true, title: `“${label}” could not be opened as an archive`, text: failure.message,
      buttons: failure.status === 404 ? [back] : [back, retry] });
    back.focus();
  }

  return {
    describe, rememberPlace, useView, showFolderActions, showToggle, toggleGrid, showFolder, setListLabel,
    renderCrumbs, showListState, showSortButtons, setSort, openInnerArchive,
  };
}

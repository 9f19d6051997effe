// The filter: the box's words matched against every name in the archive on
// show (the outer one or one inside), its hits listed in place of the folder.
// In Contents mode the same box starts the contents search (searchpanel.mjs).
import { count } from '../model/format.mjs';
import { SearchIndex } from '../model/search.mjs';
import { $, el, icon } from '../views/dom.mjs';

export function createFilter(ui) {
  const { state, contents } = ui;
  const filterEl = $('filter');

  function runFilter() {
    const query = filterEl.value;
    $('clearFilter').hidden = !query;
    $('slashHint').hidden = !!query;
    if (!query.trim()) {
      if (state.query) ui.showFolder(state.folder ?? state.opening.folder, { force: true });
      return;
    }
    const index = state.index;
    const hits = index.search(query);
    ui.rememberPlace();
    state.query = query.trim();
    ui.useView(contents);
    ui.showToggle(false);
    ui.showFolderActions(false);
    contents.show({ length: hits.length, at: (i) => index.entry(hits[i]), query: state.query });
    ui.setListLabel('Names matching ' + state.query);
    $('crumbs').replaceChildren(el('li', null, el('span', { class: 'here', 'aria-current': 'location' }, icon('search'),
      el('span', { text: count(hits.length, 'match', 'matches') + ' among ' + count(index.size, 'name', 'names') }))));
    $('counts').hidden = true;
    $('sortSeg').hidden = true;
    const where = index.root === state.listing.root ? 'the archive' : '“' + index.root.label + '”';
    ui.showListState(hits.length ? null : { icon: 'search', title: 'No names match “' + state.query + '”', text: `The filter looks at every name in ${where}, in every folder.` });
  }

  function clearFilter() {
    filterEl.value = '';
    runFilter();
  }

  // The box emptied as a move to a folder leaves it.
  function resetFilterBox() {
    filterEl.value = '';
    $('clearFilter').hidden = true;
    $('slashHint').hidden = false;
  }

  // The box's words for what it searches.
  function setFilterWords(words) {
    filterEl.placeholder = words;
    filterEl.setAttribute('aria-label', words);
  }

  function focusFilter() {
    filterEl.focus();
    filterEl.select();
  }

  // What depends on the archive that holds the folder on show: the filter's
  // index and words, the date column and the orders that need details.
  function showArchiveOf(folder) {
    const root = folder.archiveRoot();
    if (state.index?.root !== root) {
      if (!state.indexes.has(root)) state.indexes.set(root, new SearchIndex(root));
      state.index = state.indexes.get(root);
      sortIndexWhileIdle(state.index);
      if (state.found.mode === 'names') setFilterWords('Filter every name in ' + (root === state.listing.root ? 'the archive' : root.label));
    }
    $('listCard').classList.toggle('dated', root.listing.detailed);
    ui.showSortButtons(root.listing.detailed);
  }

  function idle(callback) {
    if (window.requestIdleCallback) requestIdleCallback(callback, { timeout: 1000 });
    else setTimeout(() => callback({ timeRemaining: () => 8 }), 16);
  }

  // Puts the filter's index into name order while the page is idle; not while
  // hits are on show, as moving names would move them.
  function sortIndexWhileIdle(index) {
    idle((deadline) => {
      if (index === state.index && index.sortSome(() => !state.query && deadline.timeRemaining() > 1)) sortIndexWhileIdle(index);
    });
  }

  filterEl.addEventListener('input', () => {
    if (state.found.mode === 'names') runFilter();
    else $('clearFilter').hidden = !filterEl.value;
  });
  filterEl.addEventListener('keydown', (event) => {
    const found = state.found;
    if (found.mode === 'contents') {
      if (event.key === 'Enter') {
        event.preventDefault();
        ui.startContentSearch();
      } else if (event.key === 'ArrowDown' && found.rows.length) {
        event.preventDefault();
        ui.moveResult(found.active < 0 ? 0 : found.active);
        $('csResults').focus();
      } else if (event.key === 'Escape') {
        event.preventDefault();
        ui.leaveContentSearch();
      }
      return;
    }
    const view = state.view;
    if (event.key === 'Escape') {
      event.preventDefault();
      clearFilter();
      state.view.element.focus();
    } else if (event.key === 'ArrowDown' && view.length) {
      event.preventDefault();
      view.element.focus();
      view.setActive(state.query ? 0 : view.active);
    } else if (event.key === 'Enter' && state.query && contents.length) {
      event.preventDefault();
      ui.openEntry(contents.activeEntry());
      contents.element.focus();
    }
  });
  $('clearFilter').addEventListener('click', () => {
    if (state.found.mode === 'contents') { filterEl.value = ''; $('clearFilter').hidden = true; filterEl.focus(); return; }
    clearFilter();
    state.view.element.focus();
  });

  return { filterEl, runFilter, clearFilter, resetFilterBox, setFilterWords, focusFilter, showArchiveOf, sortIndexWhileIdle };
}

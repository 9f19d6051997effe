// The search of the items' contents: the words of the filter box, sent to the
// server when Enter is pressed in Contents mode; its results are grouped by
// item in a panel in place of the list, and the address holds the search.
import { count, formatSize } from '../model/format.mjs';
import { folderUrl, resolve } from '../model/places.mjs';
import { ContentSearch, ResultGroups, matchedPieces, readSearchHash, searchHash, searchUrl } from '../net/contentsearch.mjs';
import { $, el, icon } from '../views/dom.mjs';
import { titleOf } from './state.mjs';

// Whether a search asked for is the one on show: the same terms in the same archive.
export function sameSearch(shown, terms, root) {
  if (!shown || shown.root !== root) return false;
  return shown.pattern === terms.pattern && !!shown.regex === !!terms.regex && !!shown.caseSensitive === !!terms.caseSensitive;
}

// The address of a search of the archive under `root` (the outer one or one
// inside), its names encoded as every item address encodes them.
export const searchAddress = (root, terms) => searchUrl(folderUrl(root), terms);

export function createSearchPanel(ui) {
  const { state, store, preview, tree } = ui;
  const found = state.found;
  const filterEl = ui.filterEl;

  function setSearchMode(mode) {
    found.mode = mode;
    for (const button of $('searchMode').querySelectorAll('button')) button.setAttribute('aria-checked', button.dataset.mode === mode ? 'true' : 'false');
    $('regexToggle').hidden = $('caseToggle').hidden = mode !== 'contents';
    ui.setFilterWords(mode === 'contents' ? 'Search the contents of every item (Enter)' : 'Filter every name in the archive');
    if (mode === 'names') {
      if (found.shown) leaveContentSearch();
      else if (filterEl.value) ui.runFilter();
    } else if (state.query) {
      state.query = '';
      ui.showFolder(state.folder ?? state.listing.root, { force: true });
    }
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
    const root = state.index?.root ?? state.listing.root;
    const same = sameSearch(found.shown, terms, root);
    if (preview.isOpen) preview.hide();
    if (found.mode !== 'contents') setSearchMode('contents');
    Object.assign(found, { regex: terms.regex, caseSensitive: terms.caseSensitive });
    $('regexToggle').setAttribute('aria-pressed', terms.regex ? 'true' : 'false');
    $('caseToggle').setAttribute('aria-pressed', terms.caseSensitive ? 'true' : 'false');
    filterEl.value = terms.pattern;
    $('clearFilter').hidden = false;
    $('slashHint').hidden = true;
    tree.show(state.folder ?? root);
    state.view.element.hidden = true;
    $('listState').hidden = true;
    $('contentPanel').hidden = false;
    $('counts').hidden = true;
    $('sortSeg').hidden = true;
    $('gridToggle').hidden = true;
    ui.showFolderActions(false);
    ui.setListLabel('Lines that match ' + terms.pattern);
    $('crumbs').replaceChildren(el('li', null, el('span', { class: 'here', 'aria-current': 'location' }, icon('search'), el('span', { text: 'Contents matching “' + terms.pattern + '”' }))));
    document.title = titleOf(state, '“' + terms.pattern + '”');
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
    found.runner.start(searchAddress(root, terms), store.passwordHeaders());
  }

  function leaveContentSearch({ show = true } = {}) {
    found.runner?.stop();
    found.shown = null;
    $('contentPanel').hidden = true;
    state.view.element.hidden = false;
    if (show) {
      filterEl.value = '';
      $('clearFilter').hidden = true;
      if (readSearchHash(location.hash)) ui.navigate(state.folder ?? state.listing.root, null, { replace: true });
      else ui.showFolder(state.folder ?? state.listing.root, { force: true });
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
    state.pendingMark = { line: hit.line, text: hit.text, ranges: hit.ranges };
    ui.navigate(place.folder, place.file, { preview: true });
  }

  for (const button of $('searchMode').querySelectorAll('button')) button.addEventListener('click', () => { setSearchMode(button.dataset.mode); filterEl.focus(); });
  for (const [id, key] of [['regexToggle', 'regex'], ['caseToggle', 'caseSensitive']]) {
    $(id).addEventListener('click', () => {
      found[key] = !found[key];
      $(id).setAttribute('aria-pressed', found[key] ? 'true' : 'false');
      if (found.shown) startContentSearch({ replace: true });
    });
  }
  $('csStop').addEventListener('click', () => {
    found.runner?.stop();
    $('csStop').hidden = true;
    $('csStatus').textContent += ' · stopped';
  });
  $('csResults').addEventListener('keydown', (event) => {
    if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
      event.preventDefault();
      moveResult(found.active + (event.key === 'ArrowDown' ? 1 : -1));
    } else if (event.key === 'Enter' && found.active >= 0) {
      event.preventDefault();
      openResult(found.active);
    }
  });

  return { setSearchMode, startContentSearch, showContentSearch, leaveContentSearch, moveResult };
}

// The contents list: the entries of the folder on show, or the filter's hits,
// one row each, with the keyboard cursor and type-ahead (see entryview.mjs);
// what a row says comes from `describe(entry)`, and whether it offers to open
// the entry as an archive from its `archive` field, and whether it is picked
// (see selection.mjs) from its `picked` field, which its check box shows.
import { el, icon, setIcon, cssPixels } from './dom.mjs';
import { EntryView } from './entryview.mjs';
import { matchPieces } from '../model/search.mjs';
import { VirtualList } from './vlist.mjs';

export class Contents extends EntryView {
  constructor(element, { describe, onOpen, onDownload, onOpenArchive, onUp, onMark }) {
    super(element, { onOpen, onDownload, onOpenArchive, onUp, onMark, cell: '.row', idPrefix: 'item-' });
    this.describe = describe;
    this.view = new VirtualList(element, {
      rowHeight: () => cssPixels(this.source.query ? '--hit-row' : '--row'),
      make: () => this.makeRow(),
      render: (row, index) => this.renderRow(row, index),
    });
  }

  layOut(scrollTop) { this.view.reset(this.source.length, scrollTop); }
  reveal(index) { this.view.scrollToIndex(index); }

  redraw(index) {
    const row = this.view.rowAt(index);
    if (row) this.renderRow(row, index);
  }

  moves() {
    const n = this.source.length, page = this.view.pageSize;
    return { ArrowDown: 1, ArrowUp: -1, PageDown: page, PageUp: -page, Home: -n, End: n };
  }

  makeRow() {
    const row = el('div', { class: 'vrow row', role: 'option' });
    row.check = el('span', { class: 'chk', 'aria-hidden': 'true', title: 'Select (Ctrl+click, Shift+click for a range)' });
    row.icon = icon('doc');
    row.nameEl = el('span', { class: 'name' });
    row.pathEl = el('span', { class: 'path' });
    row.kindEl = el('span', { class: 'kind' });
    row.sizeEl = el('span', { class: 'size' });
    row.dateEl = el('span', { class: 'date' });
    // Marks for the pointer only, not buttons inside the option: the keys download
    // and open an archive from the row itself.
    row.download = el('span', { class: 'icon-btn dl', 'aria-hidden': 'true', title: 'Download' }, icon('download'));
    row.openArchive = el('span', { class: 'icon-btn oa', 'aria-hidden': 'true', title: 'Open as archive' }, icon('archive'));
    row.append(row.check, row.icon, el('div', { class: 'hitname' }, row.nameEl, row.pathEl), row.kindEl, row.sizeEl, row.dateEl,
      el('span', { class: 'acts' }, row.openArchive, row.download));
    return row;
  }

  renderRow(row, index) {
    const entry = this.entry(index);
    const about = this.describe(entry);
    const active = index === this.active;
    row.id = this.cellId(index);
    row.classList.toggle('active', active);
    row.setAttribute('aria-selected', active ? 'true' : 'false');
    row.setAttribute('aria-checked', about.picked ? 'true' : 'false');
    row.classList.toggle('picked', about.picked === 'picked');
    row.classList.toggle('within', about.picked === 'within');
    row.setAttribute('aria-posinset', index + 1);
    row.setAttribute('aria-setsize', this.source.length);
    row.title = about.title;
    setIcon(row.icon, about.icon, 'k-' + about.kind);
    row.nameEl.classList.toggle('folder-name', !!entry.folder);
    const query = this.source.query;
    if (query) {
      row.nameEl.replaceChildren(...matchPieces(entry.label, query).map((piece, i) => (i % 2 ? el('mark', { text: piece }) : piece)));
      row.pathEl.textContent = about.path;
    } else {
      row.nameEl.textContent = entry.label;
    }
    row.pathEl.hidden = !query;
    row.kindEl.textContent = about.label;
    row.sizeEl.textContent = about.size ?? '—';
    row.sizeEl.classList.toggle('unknown', about.size == null);
    row.dateEl.textContent = about.date ?? '—';
    row.download.hidden = !!entry.folder;
    row.openArchive.hidden = !about.archive;
  }
}

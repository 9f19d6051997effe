// The contents list: the entries of the folder on show, or the filter's hits,
// with the keyboard cursor and type-ahead. What to list comes from its owner as
// a source ({ length, at(index), query }); what a row says comes from
// `describe(entry)`; what the user asks for goes back through the callbacks.
import { el, icon, setIcon, cssPixels } from './dom.mjs';
import { matchPieces } from './search.mjs';
import { VirtualList } from './vlist.mjs';

const EMPTY = { length: 0, at: () => null, query: null };

export class Contents {
  constructor(element, { describe, onOpen, onDownload, onUp }) {
    this.element = element;
    this.describe = describe;
    this.onOpen = onOpen;
    this.onUp = onUp;
    this.source = EMPTY;
    this.active = 0;
    this.typed = { text: '', timer: 0 };
    this.view = new VirtualList(element, {
      rowHeight: () => cssPixels(this.source.query ? '--hit-row' : '--row'),
      make: () => this.makeRow(),
      render: (row, index) => this.renderRow(row, index),
    });
    element.addEventListener('click', (event) => {
      const row = event.target.closest('.row');
      if (!row) return;
      const entry = this.entry(row.index);
      this.setActive(row.index, { scroll: false });
      if (event.target.closest('.dl')) onDownload(entry);
      else onOpen(entry);
    });
    element.addEventListener('keydown', (event) => this.key(event));
    element.addEventListener('focus', () => { if (this.source.length) this.setActive(this.active, { scroll: false }); });
  }

  get length() { return this.source.length; }
  get scrollTop() { return this.element.scrollTop; }
  entry(index) { return this.source.at(index); }
  activeEntry() { return this.source.length ? this.entry(this.active) : null; }

  // Lists a new source, with the cursor on `active` and the list scrolled to
  // `scrollTop` (and further if needed to show the cursor).
  show(source, { active = 0, scrollTop = 0 } = {}) {
    this.source = source;
    this.active = Math.max(0, Math.min(source.length - 1, active));
    this.view.reset(source.length, scrollTop);
    if (active) this.view.scrollToIndex(this.active);
    this.markActive();
  }

  setActive(index, { scroll = true } = {}) {
    if (!this.source.length) return;
    const before = this.active;
    this.active = Math.max(0, Math.min(this.source.length - 1, index));
    if (scroll) this.view.scrollToIndex(this.active);
    for (const i of [before, this.active]) {
      const row = this.view.rowAt(i);
      if (row) this.renderRow(row, i);
    }
    this.markActive();
  }

  // Puts the cursor on the first entry that passes the test; false when none does.
  select(test) {
    for (let i = 0; i < this.source.length; i++) {
      if (test(this.entry(i))) { this.setActive(i); return true; }
    }
    return false;
  }

  // Draws the rows in view again: for news about their entries, or a new row height.
  refresh() { this.view.refresh(); }
  update() { this.view.update(); }

  markActive() {
    if (this.source.length) this.element.setAttribute('aria-activedescendant', 'item-' + this.active);
    else this.element.removeAttribute('aria-activedescendant');
  }

  makeRow() {
    const row = el('div', { class: 'vrow row', role: 'option' });
    row.icon = icon('doc');
    row.nameEl = el('span', { class: 'name' });
    row.pathEl = el('span', { class: 'path' });
    row.kindEl = el('span', { class: 'kind' });
    row.sizeEl = el('span', { class: 'size' });
    row.dateEl = el('span', { class: 'date' });
    row.download = el('button', { class: 'icon-btn dl', type: 'button', tabindex: '-1', 'aria-hidden': 'true', title: 'Download' }, icon('download'));
    row.append(row.icon, el('div', { class: 'hitname' }, row.nameEl, row.pathEl), row.kindEl, row.sizeEl, row.dateEl, row.download);
    return row;
  }

  renderRow(row, index) {
    const entry = this.entry(index);
    const about = this.describe(entry);
    const active = index === this.active;
    row.id = 'item-' + index;
    row.classList.toggle('active', active);
    row.setAttribute('aria-selected', active ? 'true' : 'false');
    row.setAttribute('aria-posinset', index + 1);
    row.setAttribute('aria-setsize', this.source.length);
    row.title = about.title;
    setIcon(row.icon, about.icon, 'k-' + about.kind);
    row.nameEl.classList.toggle('folder-name', !!entry.folder);
    const query = this.source.query;
    if (query) {
      row.nameEl.replaceChildren(...matchPieces(entry.name, query).map((piece, i) => (i % 2 ? el('mark', { text: piece }) : piece)));
      row.pathEl.textContent = about.path;
    } else {
      row.nameEl.textContent = entry.name;
    }
    row.pathEl.hidden = !query;
    row.kindEl.textContent = about.label;
    row.sizeEl.textContent = about.size ?? '—';
    row.sizeEl.classList.toggle('unknown', about.size == null);
    row.dateEl.textContent = about.date ?? '—';
    row.download.hidden = !!entry.folder;
  }

  // Type-ahead: typing letters moves to the next name that starts with them.
  jumpTo(character) {
    const typed = this.typed;
    clearTimeout(typed.timer);
    typed.timer = setTimeout(() => { typed.text = ''; }, 800);
    const repeat = typed.text === character;
    typed.text = repeat ? character : typed.text + character;
    const wanted = typed.text.toLowerCase();
    const n = this.source.length;
    const from = this.active + (repeat || typed.text.length === 1 ? 1 : 0);
    for (let step = 0; step < n; step++) {
      const index = (from + step) % n;
      if (this.entry(index).name.toLowerCase().startsWith(wanted)) { this.setActive(index); return; }
    }
  }

  key(event) {
    if (event.altKey && event.key === 'ArrowUp') { event.preventDefault(); this.onUp(); return; }
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    const n = this.source.length;
    const moves = { ArrowDown: 1, ArrowUp: -1, PageDown: this.view.pageSize, PageUp: -this.view.pageSize, Home: -n, End: n };
    if (event.key in moves) { event.preventDefault(); this.setActive(this.active + moves[event.key]); return; }
    if (event.key === 'Enter' || (event.key === 'ArrowRight' && n && this.entry(this.active).folder)) {
      event.preventDefault();
      if (n) this.onOpen(this.entry(this.active));
      return;
    }
    if (event.key === 'ArrowLeft') { event.preventDefault(); this.onUp(); return; }
    if (event.key.length === 1 && event.key !== '/' && event.key !== ' ' && n) { event.preventDefault(); this.jumpTo(event.key); }
  }
}

// What the contents list and the grid share: the entries on show, which come
// from their owner as a source ({ length, at(index), query }), the keyboard
// cursor, type-ahead, and what a click or a key asks for, which goes back
// through the callbacks. Each view lays the entries out in its own way and says
// how through these methods:
//   layOut(scrollTop)  draws the source anew, scrolled to scrollTop;
//   reveal(index)      scrolls an entry into view;
//   redraw(index)      draws one entry again, if it is drawn;
//   moves()            the keys that move the cursor, and by how much.
// A click on an element that matches `cell` (and carries the entry's `index`)
// opens the entry, downloads it from a `.dl` button in it, or opens it as an
// archive from an `.oa` button. A view with `onMark` lets the reader pick
// entries: a click on a `.chk` box or with Ctrl (or Command), or Space, picks
// or drops one ('toggle'); Shift with a click picks a range ('extend'); Ctrl+A
// picks all ('all'); Escape drops the picks ('clear').

const EMPTY = { length: 0, at: () => null, query: null };

export class EntryView {
  constructor(element, { onOpen, onDownload, onOpenArchive, onUp, onMark = null, cell, idPrefix }) {
    this.element = element;
    this.onMark = onMark;
    this.onOpen = onOpen;
    this.onUp = onUp;
    this.idPrefix = idPrefix;
    this.source = EMPTY;
    this.active = 0;
    this.typed = { text: '', timer: 0 };
    element.addEventListener('click', (event) => {
      const node = event.target.closest(cell);
      if (!node) return;
      const entry = this.entry(node.index);
      this.setActive(node.index, { scroll: false });
      if (onMark && event.shiftKey) onMark('extend', node.index);
      else if (onMark && (event.ctrlKey || event.metaKey || event.target.closest('.chk'))) onMark('toggle', node.index);
      else if (event.target.closest('.dl')) onDownload(entry);
      else if (event.target.closest('.oa')) onOpenArchive(entry);
      else onOpen(entry);
    });
    element.addEventListener('keydown', (event) => this.key(event));
    element.addEventListener('focus', () => { if (this.source.length) this.setActive(this.active, { scroll: false }); });
  }

  get length() { return this.source.length; }
  get scrollTop() { return this.element.scrollTop; }
  entry(index) { return this.source.at(index); }
  activeEntry() { return this.source.length ? this.entry(this.active) : null; }
  cellId(index) { return this.idPrefix + index; }

  // Shows a new source, with the cursor on `active` and the view scrolled to
  // `scrollTop` (and further if needed to show the cursor).
  show(source, { active = 0, scrollTop = 0 } = {}) {
    this.source = source;
    this.active = Math.max(0, Math.min(source.length - 1, active));
    this.layOut(scrollTop);
    if (active) this.reveal(this.active);
    this.markActive();
  }

  // Lets go of the source, as a view that is put away does.
  clear() { this.show(EMPTY); }

  setActive(index, { scroll = true } = {}) {
    if (!this.source.length) return;
    const before = this.active;
    this.active = Math.max(0, Math.min(this.source.length - 1, index));
    if (scroll) this.reveal(this.active);
    this.redraw(before);
    this.redraw(this.active);
    this.markActive();
  }

  // Puts the cursor on the first entry that passes the test; false when none does.
  select(test) {
    for (let i = 0; i < this.source.length; i++) {
      if (test(this.entry(i))) { this.setActive(i); return true; }
    }
    return false;
  }

  // Draws the entries in view again: for news about them, or a new row height.
  refresh() { this.view.refresh(); }
  update() { this.view.update(); }

  markActive() {
    if (this.source.length) this.element.setAttribute('aria-activedescendant', this.cellId(this.active));
    else this.element.removeAttribute('aria-activedescendant');
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
      if (this.entry(index).label.toLowerCase().startsWith(wanted)) { this.setActive(index); return; }
    }
  }

  // The keys that pick entries; true when the key was one of them.
  markKey(event) {
    const n = this.source.length;
    const ctrl = event.ctrlKey || event.metaKey;
    if (ctrl && !event.altKey && event.key.toLowerCase() === 'a') { if (n) this.onMark('all'); return true; }
    if (event.key === ' ' && !ctrl && !event.altKey && n) { this.onMark(event.shiftKey ? 'extend' : 'toggle', this.active); return true; }
    if (event.key === 'Escape' && !ctrl && !event.altKey) return this.onMark('clear') === true;
    return false;
  }

  key(event) {
    if (event.altKey && event.key === 'ArrowUp') { event.preventDefault(); this.onUp(); return; }
    if (this.onMark && this.markKey(event)) { event.preventDefault(); return; }
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    const n = this.source.length;
    const moves = this.moves();
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

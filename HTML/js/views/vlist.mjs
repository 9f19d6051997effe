import { el } from './dom.mjs';

// A scrolling list that keeps only the rows in view (and `overscan` rows on
// either side) in the page, so that a folder of any size draws at once and
// scrolls smoothly.
export class VirtualList {
  constructor(scroller, { rowHeight, make, render, overscan = 6 }) {
    this.scroller = scroller;
    this.inner = el('div', { class: 'vinner', role: 'none' });
    scroller.append(this.inner);
    this.rowHeight = rowHeight;
    this.make = make;
    this.render = render;
    this.overscan = overscan;
    this.count = 0;
    this.rows = new Map();
    this.spare = [];
    scroller.addEventListener('scroll', () => this.update(), { passive: true });
    new ResizeObserver(() => this.update()).observe(scroller);
  }
  get height() { return this.rowHeight(); }
  reset(count, scrollTop = 0) {
    this.count = count;
    this.inner.style.height = count * this.height + 'px';
    this.scroller.scrollTop = scrollTop;
    this.redraw();
  }
  redraw() {
    for (const row of this.rows.values()) this.spare.push(row);
    this.rows.clear();
    this.update();
  }
  update() {
    const height = this.height;
    this.inner.style.height = this.count * height + 'px';
    const top = this.scroller.scrollTop;
    const view = this.scroller.clientHeight || 600;
    const first = Math.max(0, Math.floor(top / height) - this.overscan);
    const last = Math.min(this.count, Math.ceil((top + view) / height) + this.overscan);
    for (const [index, row] of this.rows) {
      if (index < first || index >= last) { this.rows.delete(index); this.spare.push(row); }
    }
    for (let index = first; index < last; index++) {
      if (this.rows.has(index)) continue;
      const row = this.spare.pop() || this.make();
      row.style.transform = `translateY(${index * height}px)`;
      row.style.height = height + 'px';
      row.index = index;
      this.render(row, index);
      if (row.parentNode !== this.inner) this.inner.append(row);
      this.rows.set(index, row);
    }
    for (const row of this.spare) if (row.parentNode) row.remove();
  }
  // Renders the rows in view again, for a change that keeps their number.
  refresh() {
    for (const [index, row] of this.rows) this.render(row, index);
  }
  rowAt(index) { return this.rows.get(index); }
  scrollToIndex(index) {
    const height = this.height, top = index * height;
    const view = this.scroller.clientHeight;
    if (top < this.scroller.scrollTop) this.scroller.scrollTop = top;
    else if (top + height > this.scroller.scrollTop + view) this.scroller.scrollTop = top + height - view;
    this.update();
  }
  get pageSize() { return Math.max(1, Math.floor(this.scroller.clientHeight / this.height) - 1); }
}

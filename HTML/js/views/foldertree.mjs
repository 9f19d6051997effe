// The folder tree beside the list: which folders are open, the keyboard cursor,
// and the mark on the folder on show. The archives opened inside the archive
// show below the folders that hold them, as branches of their own. Opening a
// folder goes to its owner through `onOpen`.
import { el, icon, setIcon, cssPixels } from './dom.mjs';
import { formatNumber } from '../model/format.mjs';
import { VirtualList } from './vlist.mjs';

export class FolderTree {
  constructor(element, { label, describe, onOpen }) {
    this.element = element;
    this.label = label;          // folder -> its name, or the archive's for the root
    this.describe = describe;    // folder -> a line about what it holds
    this.onOpen = onOpen;
    this.root = null;
    this.current = null;         // the folder on show
    this.cursor = null;          // the folder under the keyboard cursor
    this.expanded = new Set();
    this.rows = [];              // the folders shown, in order
    this.view = new VirtualList(element, {
      rowHeight: () => cssPixels('--tree-row'),
      make: () => this.makeRow(),
      render: (row, index) => this.renderRow(row, index),
    });
    element.addEventListener('click', (event) => {
      const row = event.target.closest('.trow');
      if (!row) return;
      const folder = row.folder;
      this.cursor = folder;
      if (event.target.closest('.tw')) { this.toggle(folder); this.moveCursor(folder); return; }
      if (folder.branchCount) this.expanded.add(folder);
      onOpen(folder);
    });
    element.addEventListener('keydown', (event) => this.key(event));
    element.addEventListener('focus', () => { if (!this.cursor) this.moveCursor(this.current); });
  }

  setRoot(root) {
    this.root = root;
    this.current = this.cursor = null;
    this.expanded = new Set([root]);
  }

  // Marks the folder on show, opens the folders above it and scrolls it into view.
  show(folder) {
    this.current = this.cursor = folder;
    for (let f = folder.parent; f; f = f.parent) this.expanded.add(f);
    this.redraw();
    const index = this.rows.indexOf(folder);
    if (index >= 0) this.view.scrollToIndex(index);
  }

  update() { this.view.update(); }

  redraw() {
    const rows = [];
    const work = [this.root];
    while (work.length) {
      const folder = work.pop();
      rows.push(folder);
      if (this.expanded.has(folder)) {
        const subs = folder.branches();
        for (let i = subs.length - 1; i >= 0; i--) work.push(subs[i]);
      }
    }
    this.rows = rows;
    this.view.reset(rows.length, this.element.scrollTop);
    this.markCursor();
  }

  markCursor() {
    const index = this.rows.indexOf(this.cursor);
    if (index >= 0) this.element.setAttribute('aria-activedescendant', 'folder-' + index);
    else this.element.removeAttribute('aria-activedescendant');
  }

  moveCursor(folder) {
    this.cursor = folder;
    const index = this.rows.indexOf(folder);
    if (index >= 0) this.view.scrollToIndex(index);
    this.view.refresh();
    this.markCursor();
  }

  toggle(folder, open = !this.expanded.has(folder)) {
    if (!folder.branchCount || this.expanded.has(folder) === open) return;
    if (open) this.expanded.add(folder); else this.expanded.delete(folder);
    this.redraw();
  }

  makeRow() {
    const row = el('div', { class: 'vrow trow', role: 'treeitem' });
    row.twisty = el('span', { class: 'tw', 'aria-hidden': 'true' }, icon('chevron'));
    row.icon = icon('folder', 'k-folder');
    row.nameEl = el('span', { class: 'tn' });
    row.countEl = el('span', { class: 'tc' });
    row.append(row.twisty, row.icon, row.nameEl, row.countEl);
    return row;
  }

  renderRow(row, index) {
    const folder = this.rows[index];
    const hasFolders = folder.branchCount > 0;
    row.folder = folder;
    row.id = 'folder-' + index;
    row.style.paddingLeft = 4 + folder.depth * 16 + 'px';
    row.setAttribute('aria-level', folder.depth + 1);
    if (folder.parent) folder.parent.branches();
    row.setAttribute('aria-posinset', folder.parent ? folder.order + 1 : 1);
    row.setAttribute('aria-setsize', folder.parent ? folder.parent.branchCount : 1);
    if (hasFolders) row.setAttribute('aria-expanded', this.expanded.has(folder) ? 'true' : 'false');
    else row.removeAttribute('aria-expanded');
    row.twisty.classList.toggle('none', !hasFolders);
    row.setAttribute('aria-selected', folder === this.current ? 'true' : 'false');
    row.classList.toggle('cursor', folder === this.cursor);
    // Archives, the outer one and those opened inside it, show as archives.
    if (!folder.listing) setIcon(row.icon, 'folder', 'k-folder');
    else setIcon(row.icon, 'archive', folder.parent ? 'k-archive' : 'k-text');
    row.nameEl.textContent = this.label(folder);
    row.countEl.textContent = formatNumber(folder.entryCount);
    row.title = this.label(folder) + ' — ' + this.describe(folder);
  }

  key(event) {
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    const current = this.cursor && this.rows.includes(this.cursor) ? this.cursor : this.current;
    const index = this.rows.indexOf(current);
    const go = (i) => { event.preventDefault(); this.moveCursor(this.rows[Math.max(0, Math.min(this.rows.length - 1, i))]); };
    const open = this.expanded.has(current) && current.branchCount > 0;
    switch (event.key) {
      case 'ArrowDown': return go(index + 1);
      case 'ArrowUp': return go(index - 1);
      case 'Home': return go(0);
      case 'End': return go(this.rows.length - 1);
      case 'PageDown': return go(index + this.view.pageSize);
      case 'PageUp': return go(index - this.view.pageSize);
      case 'ArrowRight':
        event.preventDefault();
        if (current.branchCount && !open) { this.toggle(current, true); this.moveCursor(current); }
        else if (open) this.moveCursor(current.branches()[0]);
        return;
      case 'ArrowLeft':
        event.preventDefault();
        if (open && current.parent) { this.toggle(current, false); this.moveCursor(current); }
        else if (current.parent) this.moveCursor(current.parent);
        return;
      case 'Enter':
      case ' ':
        event.preventDefault();
        this.onOpen(current);
        return;
    }
  }
}

// The grid: a folder's entries as tiles, its pictures as thumbnails and every
// other entry as its icon, with the keyboard cursor and type-ahead of the list
// (see entryview.mjs). Only the rows of tiles in view, and a few around them,
// exist. Thumbnails are made for the tiles in view only, a few at a time in the
// folder's order (see planLoads in tiles.mjs), so that the server is asked for
// the pictures of a solid block in the order it holds them.
import { cssPixels, el, icon, setIcon } from './dom.mjs';
import { EntryView } from './entryview.mjs';
import { itemUrl } from '../model/places.mjs';
import { gridColumns, planLoads, rowCount, THUMBNAIL_LOADS, tilesInView } from '../model/tiles.mjs';
import { VirtualList } from './vlist.mjs';

const PLAN_EVERY_MS = 100;

export class Grid extends EntryView {
  constructor(element, { describe, thumbnails, onOpen, onUp }) {
    super(element, { onOpen, onUp, cell: '.tile', idPrefix: 'tile-' });
    this.describe = describe;
    this.thumbnails = thumbnails;
    this.columns = 1;
    this.loading = new Map();     // tile index -> the AbortController of its thumbnail's load
    this.view = new VirtualList(element, {
      rowHeight: () => cssPixels('--tile-row'),
      make: () => Object.assign(el('div', { class: 'vrow tiles', role: 'none' }), { tiles: [] }),
      render: (row, index) => this.renderRow(row, index),
      overscan: 2,
    });
    // While the grid scrolls, loads are planned every so often rather than at
    // every frame, so that a fast scroll does not start and stop a load for
    // every row that flies by.
    this.planTimer = 0;
    element.addEventListener('scroll', () => {
      if (!this.planTimer) this.planTimer = setTimeout(() => { this.planTimer = 0; this.plan(); }, PLAN_EVERY_MS);
    }, { passive: true });
    new ResizeObserver(() => this.fit()).observe(element);
  }

  show(source, options) {
    this.stopLoads();
    super.show(source, options);
    this.plan();
  }

  refresh() {
    super.refresh();
    this.plan();
  }

  layOut(scrollTop) {
    this.columns = gridColumns(this.element.clientWidth, cssPixels('--tile-w'), cssPixels('--tile-gap'));
    this.element.style.setProperty('--columns', this.columns);
    this.view.reset(rowCount(this.source.length, this.columns), scrollTop);
  }

  // A new size may show other tiles; a new width may take another number of
  // columns, and then the tiles are laid out anew, with the cursor's tile in view.
  fit() {
    const width = this.element.clientWidth;
    if (!width) return;
    if (gridColumns(width, cssPixels('--tile-w'), cssPixels('--tile-gap')) !== this.columns) {
      this.layOut(this.element.scrollTop);
      this.reveal(this.active);
    }
    this.plan();
  }

  reveal(index) { this.view.scrollToIndex(Math.floor(index / this.columns)); }

  redraw(index) {
    const row = this.view.rowAt(Math.floor(index / this.columns));
    if (row) this.renderTile(row.tiles[index % this.columns], index);
  }

  moves() {
    const n = this.source.length, columns = this.columns, page = this.view.pageSize * columns;
    return { ArrowLeft: -1, ArrowRight: 1, ArrowUp: -columns, ArrowDown: columns, PageUp: -page, PageDown: page, Home: -n, End: n };
  }

  renderRow(row, index) {
    while (row.tiles.length < this.columns) {
      const tile = this.makeTile();
      row.tiles.push(tile);
      row.append(tile);
    }
    while (row.tiles.length > this.columns) row.tiles.pop().remove();
    row.tiles.forEach((tile, column) => this.renderTile(tile, index * this.columns + column));
  }

  makeTile() {
    const tile = el('div', { class: 'tile', role: 'option' });
    tile.picture = el('img', { alt: '', draggable: 'false' });
    tile.icon = icon('doc');
    tile.nameEl = el('span', { class: 'name' });
    tile.append(el('div', { class: 'thumb' }, tile.picture, tile.icon), tile.nameEl);
    return tile;
  }

  renderTile(tile, index) {
    tile.hidden = index >= this.source.length;
    if (tile.hidden) return;
    const entry = this.entry(index);
    const about = this.describe(entry);
    const active = index === this.active;
    const url = about.kind === 'image' ? itemUrl(entry) : null;
    const thumbnail = url && this.thumbnails.get(url);
    const failed = url && this.thumbnails.failed(url);
    const locked = url && this.thumbnails.locked(url);
    tile.index = index;
    tile.id = this.cellId(index);
    tile.title = locked ? about.title + ' · encrypted: open it to give the password' : about.title;
    tile.classList.toggle('active', active);
    tile.classList.toggle('folder', !!entry.folder);
    tile.classList.toggle('shown', !!thumbnail);
    tile.classList.toggle('waiting', !!url && !thumbnail && !failed && !locked);
    tile.setAttribute('aria-selected', active ? 'true' : 'false');
    tile.setAttribute('aria-posinset', index + 1);
    tile.setAttribute('aria-setsize', this.source.length);
    tile.nameEl.textContent = entry.label;
    // A picture shows its thumbnail, an empty frame until it is made, a lock
    // while it needs a password, or the icon of a picture that cannot be shown;
    // any other entry its icon.
    if (thumbnail) {
      if (tile.picture.src !== thumbnail) tile.picture.src = thumbnail;
      return;
    }
    tile.picture.removeAttribute('src');
    if (!url || failed || locked) setIcon(tile.icon, locked ? 'lock' : failed ? 'broken' : about.icon, 'k-' + about.kind);
  }

  // Whether the tile shows a picture whose thumbnail is still to be made.
  needsThumbnail(index) {
    const entry = this.entry(index);
    if (entry.folder || this.describe(entry).kind !== 'image') return false;
    const url = itemUrl(entry);
    return !this.thumbnails.get(url) && !this.thumbnails.failed(url) && !this.thumbnails.locked(url);
  }

  // Starts and stops thumbnails' loads for the tiles now in view.
  plan() {
    const { first, last } = tilesInView({
      scrollTop: this.element.scrollTop, height: this.element.clientHeight,
      rowHeight: this.view.height, columns: this.columns, count: this.source.length,
    });
    const { start, stop } = planLoads({ first, last, loading: this.loading, needs: (i) => this.needsThumbnail(i), limit: THUMBNAIL_LOADS });
    for (const index of stop) {
      this.loading.get(index).abort();
      this.loading.delete(index);
    }
    for (const index of start) this.load(index);
  }

  async load(index) {
    const controller = new AbortController();
    this.loading.set(index, controller);
    await this.thumbnails.make(itemUrl(this.entry(index)), controller.signal);
    // A load that was stopped, or whose tile another folder's entry took, may
    // have made its thumbnail all the same: the tile is drawn again either way.
    if (this.loading.get(index) === controller) this.loading.delete(index);
    this.redraw(index);
    this.plan();
  }

  stopLoads() {
    for (const controller of this.loading.values()) controller.abort();
    this.loading.clear();
  }
}

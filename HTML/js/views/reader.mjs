// The reader: a folder's pictures one page or two at a time on a dark stage
// over the whole window, for comics and photo sets. What shows together, in
// which order and where a key, click or swipe leads is the page model's
// (pages.mjs); the pages come decoded from the prefetcher (prefetch.mjs), so a
// turn to a page fetched ahead only draws it. Fit, two-up, cover and order are
// kept for the next visit; the page where reading stopped is kept under the
// key that the owner gives for the folder (its archive's name and size).
// Closing is the owner's to do: the reader only asks, through `onClose`.
import { el, icon } from './dom.mjs';
import { itemUrl } from '../model/places.mjs';
import { loadPref, savePref } from './prefs.mjs';
import {
  FITS, layOut, onScreen, pageAtPosition, pageLabel, pagesToFetch, sliderPosition, spreadOf, spreads,
  turned, turnOfClick, turnOfKey, turnOfSwipe, zoomed,
} from '../model/pages.mjs';
import { Prefetcher } from '../net/prefetch.mjs';

const STRIP_SIDE = 7;         // thumbnails on each side of the page on show
const CONTROLS_MS = 2500;     // the bars stay this long after the pointer last moved
const FIT_KEYS = { w: 'width', h: 'height', b: 'both', o: 'original' };
const FIT_WORDS = { width: 'Fit width (W)', height: 'Fit height (H)', both: 'Fit the page (B)', original: 'Original size, 1:1 (O)' };

// Fetches a page through the store (which holds the password of an encrypted
// one) and decodes it into an image element that draws at once.
async function loadPage(store, url, signal) {
  const response = await store.request(url, { signal });
  const address = URL.createObjectURL(await response.blob());
  const image = new Image();
  image.alt = '';
  image.draggable = false;
  image.src = address;
  try {
    await image.decode();
  } catch (error) {
    URL.revokeObjectURL(address);
    throw signal.aborted ? new DOMException('Stopped', 'AbortError') : new Error('The picture cannot be decoded.');
  }
  return {
    image, width: image.naturalWidth || 300, height: image.naturalHeight || 150,
    release: () => { image.remove(); URL.revokeObjectURL(address); },
  };
}

export class Reader {
  // placeKey(folder) -> where the page read last is kept; onClose() -> leave the reader.
  constructor({ store, thumbnails, placeKey, onClose }) {
    this.thumbnails = thumbnails;
    this.placeKey = placeKey;
    this.onClose = onClose;
    this.isOpen = false;
    this.folder = null;
    this.entries = [];          // the pictures, in reading order
    this.sizes = new Map();     // page -> { width, height }, once decoded
    this.list = [];             // spreads of page numbers (see spreads)
    this.at = 0;                // the spread on show
    this.zoom = 1;
    this.token = 0;             // counts the spreads drawn, so a late page for an earlier one is dropped
    this.shown = null;          // the spread drawn: per page on screen, { page, picture, error }
    this.choice = {
      fit: FITS.includes(loadPref('reader.fit', 'both')) ? loadPref('reader.fit', 'both') : 'both',
      double: loadPref('reader.double', '0') === '1',
      cover: loadPref('reader.cover', '1') === '1',
      rtl: loadPref('reader.rtl', '0') === '1',
    };
    this.prefetcher = new Prefetcher({ load: (url, signal) => loadPage(store, url, signal), onLoad: (url, page) => this.learn(url, page) });
    this.build();
  }

  /* ---------- The page's elements ---------- */

  build() {
    const button = (key, label, text) => el('button', { class: 'rd-btn', type: 'button', 'data-key': key, title: label, 'aria-label': label },
      el('span', { text }));
    this.nameEl = el('span', { class: 'rd-name' });
    this.posEl = el('span', { class: 'rd-pos', 'aria-live': 'polite' });
    this.fitButtons = FITS.map((fit) => Object.assign(button(fit[0], FIT_WORDS[fit], fit === 'original' ? '1:1' : fit[0].toUpperCase()), { fit }));
    this.doubleBtn = button('d', '2 up: two pages side by side (D)', '2 up');
    this.coverBtn = button('c', 'First page alone, as a cover (C)', 'Cover');
    this.rtlBtn = button('r', 'RTL: right to left (R)', 'RTL');
    this.fullBtn = button('f', 'Full screen (F)', 'Full');
    this.backBtn = el('button', { class: 'rd-btn rd-back', type: 'button', title: 'Back to the folder (Esc)', 'aria-label': 'Back to the folder' }, icon('left'));
    this.spreadEl = el('div', { class: 'rd-spread' });
    this.waitEl = el('div', { class: 'rd-wait', hidden: true }, el('div', { class: 'spinner', 'aria-hidden': 'true' }));
    this.stage = el('div', { class: 'rd-stage', tabindex: '-1' }, this.spreadEl);
    this.slider = el('input', { class: 'rd-slider', type: 'range', min: '0', max: '0', step: '1', value: '0', 'aria-label': 'Page' });
    this.bubble = el('span', { class: 'rd-bubble', hidden: true });
    this.strip = el('div', { class: 'rd-strip', role: 'group', 'aria-label': 'Pages' });
    this.top = el('div', { class: 'rd-bar rd-top' }, this.backBtn, el('div', { class: 'rd-titles' }, this.nameEl, this.posEl),
      el('div', { class: 'rd-modes' }, el('div', { class: 'rd-seg', role: 'group', 'aria-label': 'Fit' }, ...this.fitButtons),
        this.doubleBtn, this.coverBtn, this.rtlBtn, this.fullBtn));
    this.bottom = el('div', { class: 'rd-bar rd-bottom' }, this.strip, el('div', { class: 'rd-track' }, this.slider, this.bubble));
    this.root = el('div', { class: 'reader controls', id: 'reader', role: 'dialog', 'aria-modal': 'true', 'aria-label': 'Reader', tabindex: '-1', hidden: true },
      this.stage, this.waitEl, this.top, this.bottom);
    document.body.append(this.root);

    // Keys reach the reader wherever its focus went, even to the page's body
    // when a strip that had it is drawn anew; not from a dialog over it.
    document.addEventListener('keydown', (event) => {
      if (this.isOpen && (event.target === document.body || this.root.contains(event.target))) this.key(event);
    });
    this.top.addEventListener('click', (event) => {
      const pressed = event.target.closest('button');
      if (pressed === this.backBtn) this.onClose();
      else if (pressed) this.command(pressed.dataset.key);
    });
    this.strip.addEventListener('click', (event) => {
      const tile = event.target.closest('.rd-thumb');
      if (tile) this.goToPage(Number(tile.dataset.page));
    });
    this.slider.addEventListener('input', () => this.goToPage(Number(this.slider.value)));
    this.slider.addEventListener('pointermove', (event) => this.showBubble(event));
    this.slider.addEventListener('pointerleave', () => { this.bubble.hidden = true; });
    this.root.addEventListener('pointermove', () => this.showControls());
    this.stage.addEventListener('wheel', (event) => {
      if (!event.ctrlKey) return;
      event.preventDefault();
      this.setZoom(zoomed(this.zoom, event.deltaY < 0 ? 1 : -1));
    }, { passive: false });
    this.stage.addEventListener('dblclick', (event) => { if (this.thirdOf(event) === 0) this.toggleFullScreen(); });
    this.setUpPointer();
    new ResizeObserver(() => { if (this.isOpen) this.place(); }).observe(this.stage);
    document.addEventListener('fullscreenchange', () => this.showChoices());
  }

  // Dragging pans a picture larger than the stage; on one that fits, a swipe
  // turns; a click (no drag) on a side third turns, on the middle one shows or
  // hides the bars.
  setUpPointer() {
    let down = null;
    this.stage.addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      down = { x: event.clientX, y: event.clientY, left: this.stage.scrollLeft, top: this.stage.scrollTop, moved: false };
      this.stage.setPointerCapture(event.pointerId);
    });
    this.stage.addEventListener('pointermove', (event) => {
      if (!down) return;
      const dx = event.clientX - down.x, dy = event.clientY - down.y;
      if (Math.abs(dx) + Math.abs(dy) > 6) down.moved = true;
      if (down.moved) {
        this.stage.scrollLeft = down.left - dx;
        this.stage.scrollTop = down.top - dy;
        this.stage.classList.add('panning');
      }
    });
    const up = (event) => {
      if (!down) return;
      const was = down;
      down = null;
      this.stage.classList.remove('panning');
      if (event.type === 'pointercancel') return;
      if (was.moved) {
        const pans = this.stage.scrollWidth > this.stage.clientWidth + 1;
        const by = pans ? 0 : turnOfSwipe(event.clientX - was.x, event.clientY - was.y, this.choice.rtl);
        if (by) this.turn(by);
        return;
      }
      const by = this.thirdOf(event);
      if (by) this.turn(by);
      else this.root.classList.toggle('controls');
    };
    this.stage.addEventListener('pointerup', up);
    this.stage.addEventListener('pointercancel', up);
  }

  thirdOf(event) {
    const box = this.stage.getBoundingClientRect();
    return turnOfClick(event.clientX - box.left, box.width, this.choice.rtl);
  }

  showControls() {
    this.root.classList.add('controls');
    clearTimeout(this.controlsTimer);
    this.controlsTimer = setTimeout(() => {
      if (!this.root.matches(':has(.rd-bar:hover, .rd-bar:focus-within)')) this.root.classList.remove('controls');
    }, CONTROLS_MS);
  }

  showBubble(event) {
    const box = this.slider.getBoundingClientRect();
    const page = pageAtPosition((event.clientX - box.left) / box.width, this.entries.length, this.choice.rtl);
    this.bubble.hidden = false;
    this.bubble.textContent = String(page + 1);
    this.bubble.style.left = (100 * sliderPosition(page, this.entries.length, this.choice.rtl)).toFixed(2) + '%';
  }

  /* ---------- Opening and closing ---------- */

  // Shows a folder's pictures (`entries`, in the folder's order) from the page
  // read last in it, or the first.
  open(folder, entries) {
    if (this.isOpen && this.folder === folder) return;
    this.prefetcher.clear();
    Object.assign(this, { isOpen: true, folder, entries, zoom: 1, sizes: new Map() });
    const last = loadPref(this.placeKey(folder), null);
    const page = Math.max(0, entries.findIndex((entry) => entry.name === last));
    this.nameEl.textContent = '';
    this.slider.max = String(Math.max(0, entries.length - 1));
    this.root.hidden = false;
    this.showControls();
    this.root.focus();
    this.paginate(page);
    this.draw();
  }

  hide() {
    if (!this.isOpen) return;
    this.isOpen = false;
    this.token++;
    this.prefetcher.clear();
    this.shown = null;
    this.spreadEl.replaceChildren();
    this.strip.replaceChildren();
    this.root.hidden = true;
    if (document.fullscreenElement === this.root) document.exitFullscreen().catch(() => {});
    this.folder = null;
    this.entries = [];
  }

  /* ---------- Pages ---------- */

  urlOf(page) { return itemUrl(this.entries[page]); }

  // Groups the pages anew (after a change of mode or a page's size), with the
  // spread that holds `page` on show.
  paginate(page) {
    const sizeOf = (p) => this.sizes.get(p) ?? null;
    this.list = spreads(this.entries.length, { double: this.choice.double, cover: this.choice.cover, sizeOf });
    this.at = spreadOf(this.list, page);
  }

  get spread() { return this.list[this.at] ?? []; }

  // A page's size, once decoded: a wide one may change the pairing of the
  // spreads, and so the one on show. Its thumbnail is made from it meanwhile.
  learn(url, page) {
    const number = this.entries.findIndex((entry) => itemUrl(entry) === url);
    if (number < 0) return;
    this.sizes.set(number, { width: page.width, height: page.height });
    if (this.thumbnails) {
      const idle = globalThis.requestIdleCallback ?? ((callback) => setTimeout(callback, 50));
      idle(() => this.thumbnails.makeFrom(url, page.image, page.width, page.height).then(() => this.drawStrip()));
    }
    if (!this.choice.double) return;
    const before = this.spread.join();
    this.paginate(this.spread[0]);
    if (this.spread.join() !== before) this.draw();
  }

  turn(by) {
    const next = turned(this.list, this.at, by);
    if (next === this.at) return;
    this.at = next;
    this.zoom = 1;
    this.draw();
  }

  goToPage(page) {
    const next = spreadOf(this.list, page);
    if (next === this.at) return;
    this.at = next;
    this.zoom = 1;
    this.draw();
  }

  // Shows the spread at `this.at`: at once when its pages are ready, else when
  // they come. Says where the reader is, keeps it, and asks for the pages around.
  async draw() {
    const token = ++this.token;
    const spread = this.spread;
    this.showPlace();
    this.prefetcher.want(pagesToFetch(this.list, this.at).map((page) => this.urlOf(page)), { first: spread.length });
    const ready = spread.map((page) => this.prefetcher.ready(this.urlOf(page)));
    if (ready.every(Boolean)) return this.render(spread, ready, false);
    this.waitEl.hidden = false;
    const pages = await Promise.all(spread.map((page) => this.prefetcher.get(this.urlOf(page)).catch((error) => error)));
    if (token !== this.token) return;
    // A wide page that came meanwhile may have grouped the pages anew.
    if (this.spread.join() !== spread.join()) return;
    this.render(spread, pages, true);
  }

  // `waited` says whether a page on show was not ready when asked for.
  render(spread, pages, waited) {
    this.waitEl.hidden = true;
    this.shown = spread.map((page, i) => ({ page, picture: pages[i] instanceof Error ? null : pages[i], error: pages[i] instanceof Error ? pages[i] : null }));
    const order = onScreen(this.shown, this.choice.rtl);
    this.spreadEl.replaceChildren(...order.map(({ page, picture, error }) => picture ? picture.image
      : el('div', { class: 'rd-broken', title: this.entries[page].label }, icon('broken'), el('span', { text: error?.message ?? '' }))));
    this.spreadEl.classList.toggle('two', spread.length > 1);
    this.place();
    this.stage.scrollTo(this.choice.rtl ? this.stage.scrollWidth : 0, 0);
    this.root.dataset.pages = spread.map((page) => page + 1).join(',');
    document.dispatchEvent(new CustomEvent('vorsel:page-shown', { detail: { pages: spread.slice(), waited } }));
  }

  // Sizes the pictures on show for the fit, the zoom and the stage's size.
  place() {
    if (!this.shown) return;
    const order = onScreen(this.shown, this.choice.rtl);
    const box = { width: this.stage.clientWidth, height: this.stage.clientHeight };
    const sizes = order.map(({ picture }) => picture && { width: picture.width, height: picture.height });
    const laid = layOut(sizes, box, this.choice.fit, this.zoom);
    [...this.spreadEl.children].forEach((node, i) => {
      node.style.width = laid.pages[i].width + 'px';
      node.style.height = laid.pages[i].height + 'px';
    });
  }

  // The name and number of the page on show, the slider and the strip; and
  // the page, kept as where reading stopped.
  showPlace() {
    const spread = this.spread;
    const count = this.entries.length;
    const names = spread.map((page) => this.entries[page].label);
    this.nameEl.textContent = onScreen(names, this.choice.rtl).join('  ·  ');
    this.nameEl.title = this.nameEl.textContent;
    this.posEl.textContent = pageLabel(spread, count);
    this.slider.value = String(spread[0] ?? 0);
    this.slider.dir = this.choice.rtl ? 'rtl' : 'ltr';
    this.slider.setAttribute('aria-valuetext', this.posEl.textContent);
    if (spread.length) savePref(this.placeKey(this.folder), this.entries[spread[0]].name);
    this.drawStrip();
    this.showChoices();
  }

  // Thumbnails of the pages around the one on show (the grid's, or made from
  // the pages fetched here), their numbers until they are made.
  drawStrip() {
    if (!this.isOpen) return;
    const count = this.entries.length;
    const first = Math.max(0, Math.min((this.spread[0] ?? 0) - STRIP_SIDE, count - 2 * STRIP_SIDE - 1));
    const pages = [];
    for (let page = first; page < Math.min(count, first + 2 * STRIP_SIDE + 1); page++) pages.push(page);
    const shown = new Set(this.spread);
    this.strip.replaceChildren(...onScreen(pages, this.choice.rtl).map((page) => {
      const src = this.thumbnails?.get(this.urlOf(page));
      return el('button', { class: 'rd-thumb' + (shown.has(page) ? ' current' : ''), type: 'button', 'data-page': page,
        title: this.entries[page].label, 'aria-current': shown.has(page) ? 'page' : null },
      src ? el('img', { src, alt: '', draggable: 'false' }) : null, el('span', { text: String(page + 1) }));
    }));
  }

  showChoices() {
    for (const b of this.fitButtons) b.setAttribute('aria-pressed', b.fit === this.choice.fit ? 'true' : 'false');
    this.doubleBtn.setAttribute('aria-pressed', String(this.choice.double));
    this.coverBtn.setAttribute('aria-pressed', String(this.choice.cover));
    this.coverBtn.disabled = !this.choice.double;
    this.rtlBtn.setAttribute('aria-pressed', String(this.choice.rtl));
    this.fullBtn.setAttribute('aria-pressed', String(document.fullscreenElement === this.root));
    Object.assign(this.root.dataset, { fit: this.choice.fit, double: this.choice.double, cover: this.choice.cover, rtl: this.choice.rtl });
    this.root.classList.toggle('rtl', this.choice.rtl);
  }

  /* ---------- Choices ---------- */

  choose(name, value) {
    this.choice[name] = value;
    savePref('reader.' + name, typeof value === 'boolean' ? (value ? '1' : '0') : value);
  }

  setZoom(zoom) {
    const stage = this.stage;
    const x = (stage.scrollLeft + stage.clientWidth / 2) / Math.max(1, stage.scrollWidth);
    const y = (stage.scrollTop + stage.clientHeight / 2) / Math.max(1, stage.scrollHeight);
    this.zoom = zoom;
    this.place();
    stage.scrollLeft = x * stage.scrollWidth - stage.clientWidth / 2;
    stage.scrollTop = y * stage.scrollHeight - stage.clientHeight / 2;
  }

  toggleFullScreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else this.root.requestFullscreen?.().catch(() => {});
  }

  // What a key of the bar's buttons (or the keyboard) asks for.
  command(key) {
    if (FIT_KEYS[key]) {
      this.choose('fit', FIT_KEYS[key]);
      this.zoom = 1;
      this.place();
      this.showChoices();
    } else if (key === 'd' || key === 'c') {
      if (key === 'c' && !this.choice.double) return;
      this.choose(key === 'd' ? 'double' : 'cover', key === 'd' ? !this.choice.double : !this.choice.cover);
      this.paginate(this.spread[0] ?? 0);
      this.draw();
    } else if (key === 'r') {
      this.choose('rtl', !this.choice.rtl);
      this.draw();
    } else if (key === 'f') {
      this.toggleFullScreen();
    } else if (key === '+' || key === '=') {
      this.setZoom(zoomed(this.zoom, 1));
    } else if (key === '-') {
      this.setZoom(zoomed(this.zoom, -1));
    } else {
      return false;
    }
    return true;
  }

  key(event) {
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    if (event.key === 'Escape') {
      event.preventDefault();
      this.onClose();
      return;
    }
    const letter = event.key.length === 1 ? event.key.toLowerCase() : '';
    if (letter && letter !== ' ' && this.command(letter)) { event.preventDefault(); return; }
    const by = turnOfKey(event.key, { rtl: this.choice.rtl, shift: event.shiftKey });
    if (by === null) return;
    event.preventDefault();
    // Space first scrolls through a page taller than the stage, then turns.
    if (event.key === ' ') {
      const stage = this.stage;
      const room = by > 0 ? stage.scrollHeight - stage.clientHeight - stage.scrollTop : stage.scrollTop;
      if (room > 1) { stage.scrollBy({ top: by * Math.min(room, stage.clientHeight * 0.9) }); return; }
    }
    this.turn(by);
  }
}

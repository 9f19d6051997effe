// The preview dialog: which item is on show, fetching it, and stepping through
// the pictures of its folder. Where the page goes when the preview closes is its
// owner's to decide: the dialog only asks, through `onClose`.
import { $, el, setIcon, toast } from './dom.mjs';
import { download } from '../actions/download.mjs';
import { formatSize } from '../model/format.mjs';
import { mayBeArchive } from '../net/inner.mjs';
import { kindFromName, lookOf } from '../model/kinds.mjs';
import { linkPlace } from '../model/links.mjs';
import { itemUrl } from '../model/places.mjs';
import { loadPref, savePref } from './prefs.mjs';
import { showProperties } from './properties.mjs';
import { showArchive, showEmpty, showFailure, showHtml, showImage, showLink, showMedia, showNoPreview, showPdf, showText } from './renderers.mjs';

export class Preview {
  constructor({ store, pathLabel, siblings, onClose, onStep, onOpenArchive, onFollow }) {
    this.store = store;
    this.pathLabel = pathLabel;  // folder -> "archive / folder / …"
    this.siblings = siblings;    // folder -> its entries in the order on show
    this.onStep = onStep;        // (folder, name) of the picture to show instead
    this.onOpenArchive = onOpenArchive;  // (entry) of an archive to open in the list, as a folder
    this.onFollow = onFollow;    // ({ folder, file }) that a link leads to, to show instead
    this.dialog = $('preview');
    this.body = $('pvBody');
    this.tools = $('pvTools');
    this.isOpen = false;
    this.folder = null;
    this.entry = null;
    this.token = 0;              // counts the items shown, so late answers for an earlier one are dropped
    this.controller = null;
    this.urls = [];              // blob URLs to release when the item changes

    const dialog = this.dialog;
    dialog.addEventListener('cancel', (event) => { event.preventDefault(); onClose(); });
    // A dialog closed by the browser itself (not through hide) still has to
    // leave the item's place; the event comes late, so a preview opened since stays.
    dialog.addEventListener('close', () => { if (this.isOpen && !dialog.open) onClose(); });
    dialog.addEventListener('keydown', (event) => {
      const inMedia = event.target.closest('audio, video, input, .code, .hex');
      if (event.key === 'Escape' || (event.key === 'Backspace' && !inMedia)) { event.preventDefault(); onClose(); }
      else if (event.key === 'ArrowLeft' && !inMedia && !event.altKey) { event.preventDefault(); this.step(-1); }
      else if (event.key === 'ArrowRight' && !inMedia && !event.altKey) { event.preventDefault(); this.step(1); }
    });
    dialog.addEventListener('click', (event) => { if (event.target === dialog) onClose(); });
    $('pvClose').addEventListener('click', onClose);
    $('pvPrev').addEventListener('click', () => this.step(-1));
    $('pvNext').addEventListener('click', () => this.step(1));
    $('pvDownload').addEventListener('click', () => { if (this.entry) download(store, this.entry); });
    $('pvOpenArchive').addEventListener('click', () => { if (this.entry) onOpenArchive(this.entry); });
    // The properties beside the item, on show or not as the reader left them.
    this.propsShown = loadPref('props', 'hidden') === 'shown';
    $('pvInfo').addEventListener('click', () => {
      this.propsShown = !this.propsShown;
      savePref('props', this.propsShown ? 'shown' : 'hidden');
      this.showProps();
    });
    $('pvLink').addEventListener('click', async () => {
      try { await navigator.clipboard.writeText(location.href); toast('Link copied'); }
      catch { toast('Copy this address to share the item: ' + location.href); }
    });
  }

  get name() { return this.entry && this.entry.name; }

  // Fills the properties panel for the entry on show, when it is shown.
  showProps() {
    const box = $('pvProps');
    $('pvInfo').setAttribute('aria-pressed', this.propsShown ? 'true' : 'false');
    box.hidden = !this.propsShown || !this.entry;
    if (box.hidden) { box.replaceChildren(); return; }
    const token = this.token, entry = this.entry;
    showProperties(box, { info: entry.info, url: itemUrl(entry), store: this.store, current: () => token === this.token && entry === this.entry });
  }

  release() {
    if (this.controller) this.controller.abort();
    this.controller = null;
    for (const url of this.urls) URL.revokeObjectURL(url);
    this.urls = [];
    this.body.textContent = '';
    this.body.className = 'pv-body';
    this.tools.textContent = '';
    this.tools.hidden = true;
  }

  hide() {
    this.isOpen = false;
    this.token++;
    this.release();
    this.folder = this.entry = null;
    if (this.dialog.open) this.dialog.close();
  }

  setMeta(parts) {
    $('pvMeta').textContent = parts.filter(Boolean).join(' · ');
  }

  // The context that the renderers draw the item on show through.
  context(entry, url, token, signal) {
    const ctx = {
      body: this.body,
      tools: this.tools,
      name: entry.label,
      url,
      entry,
      mark: this.mark,
      current: () => token === this.token,
      setMeta: (parts) => this.setMeta(parts),
      blobUrl: (bytes, type) => {
        const blob = URL.createObjectURL(new Blob([bytes], { type }));
        this.urls.push(blob);
        return blob;
      },
      knownSize: () => entry.size ?? this.store.sizes.get(url) ?? null,
      fetchHead: () => this.store.fetchHead(url, signal),
      download: () => download(this.store, entry),
      openArchive: () => this.onOpenArchive(entry),
      follow: (place) => this.onFollow(place),
      fail: (error) => {
        this.body.textContent = '';
        $('pvDownload').disabled = true;
        showFailure(ctx, error, () => { this.entry = null; this.open(this.folder, entry); });
      },
    };
    return ctx;
  }

  // `mark` ({ line, text, ranges }, from a contents search) is the line that a
  // text preview scrolls to and marks.
  async open(folder, entry, mark = null) {
    if (this.isOpen && this.entry === entry && !mark) return;
    this.mark = mark;
    this.release();
    const token = ++this.token;
    const url = itemUrl(entry);
    Object.assign(this, { isOpen: true, folder, entry });
    const store = this.store;
    let kind = kindFromName(entry.name) || store.sniffed.get(url);
    const look = lookOf(entry, store.sniffed.get(url));
    setIcon($('pvIcon'), look.icon, 'k-' + look.kind);
    $('pvName').textContent = entry.label;
    $('pvName').title = entry.label;
    this.setMeta([look.label, 'in ' + this.pathLabel(folder)]);
    $('pvDownload').disabled = false;
    $('pvOpenArchive').hidden = !mayBeArchive(entry.name, kind);
    this.updateNav(kind && kind.kind === 'image');
    this.showProps();
    if (!this.dialog.open) this.dialog.showModal();
    $('pvClose').focus();

    const progress = el('div', { class: 'progress indeterminate' }, el('i'));
    const said = el('p', { text: 'Extracting from the archive…' });
    this.body.append(el('div', { class: 'pv-center' }, el('div', { class: 'pv-msg', role: 'status' }, progress, said)));

    this.controller = new AbortController();
    const signal = this.controller.signal;
    const ctx = this.context(entry, url, token, signal);
    let bytes;
    try {
      // A symbolic link shows where it leads; its text is its target when
      // the listing does not give it.
      if (entry.info?.link === 'symbolic') {
        const target = entry.info.target ?? new TextDecoder().decode(await store.fetchItem(url, { signal }));
        if (!ctx.current()) return;
        this.controller = null;
        this.body.textContent = '';
        return showLink(ctx, target, linkPlace(folder, target));
      }
      // A name that does not tell the kind: the first bytes do.
      if (!kind) {
        kind = await store.sniff(url, signal);
        if (!ctx.current()) return;
        if (kind) {
          const sniffed = lookOf(entry, kind);
          setIcon($('pvIcon'), sniffed.icon, 'k-' + sniffed.kind);
          $('pvOpenArchive').hidden = !mayBeArchive(entry.name, kind);
        }
      }
      // An archive is opened as a folder rather than fetched whole: it may be large.
      if (kind?.kind === 'archive') {
        this.controller = null;
        this.body.textContent = '';
        return showArchive(ctx, kind);
      }
      // These play or show from the item's address; the page does not hold them.
      const streamed = { audio: showMedia, video: showMedia, pdf: showPdf }[kind && kind.kind];
      if (streamed) {
        this.body.textContent = '';
        return streamed(ctx, kind);
      }
      bytes = await store.fetchItem(url, {
        signal,
        onProgress(received, total) {
          if (!ctx.current()) return;
          progress.classList.remove('indeterminate');
          progress.firstChild.style.width = (100 * received / total).toFixed(1) + '%';
          said.textContent = formatSize(received) + ' of ' + formatSize(total);
        },
      });
    } catch (error) {
      if (ctx.current() && error.name !== 'AbortError') ctx.fail(error);
      return;
    }
    if (!ctx.current()) return;
    this.controller = null;
    const label = bytes.length ? (kind ? kind.label : look.label) : 'Empty';
    this.setMeta([label, formatSize(bytes.length)]);
    this.body.textContent = '';
    if (!bytes.length) return showEmpty(ctx);
    this.updateNav(kind.kind === 'image');
    switch (kind.kind) {
      case 'image': return showImage(ctx, bytes, kind, label);
      case 'text': case 'code': return showText(ctx, bytes, kind);
      case 'html': return showHtml(ctx, bytes);
      default: return showNoPreview(ctx, bytes, bytes.length, kind);
    }
  }

  // The pictures of the folder on show, in its order.
  images() {
    const sniffed = this.store.sniffed;
    return this.siblings(this.folder).filter((e) => !e.folder && (kindFromName(e.name) || sniffed.get(itemUrl(e)))?.kind === 'image');
  }

  updateNav(isImage) {
    const nav = $('pvNav');
    if (!isImage) { nav.hidden = true; return; }
    const images = this.images();
    const index = images.indexOf(this.entry);
    nav.hidden = images.length < 2 || index < 0;
    $('pvPos').textContent = index >= 0 ? `${index + 1} / ${images.length}` : '';
    $('pvPrev').disabled = index <= 0;
    $('pvNext').disabled = index < 0 || index >= images.length - 1;
  }

  step(delta) {
    if ($('pvNav').hidden) return;
    const images = this.images();
    const next = images[images.indexOf(this.entry) + delta];
    if (next && images.includes(this.entry)) this.onStep(this.folder, next.name);
  }
}

// Thumbnails of pictures for the grid. A picture is fetched from the item's own
// address through the browser's cache, which revalidates it by its ETag,
// decoded, drawn scaled down into a small canvas and kept only as a small WebP
// picture, under a budget of bytes; the full-size picture is let go at once.
// An encrypted picture goes with the password that the page holds; without it,
// or with a wrong one, it is shown locked, and the question for the password
// waits until the reader opens a picture: scrolling never raises it.
import { fitWithin, THUMBNAIL_BOX } from '../model/tiles.mjs';

const BUDGET = 24 * 1024 * 1024;   // bytes of thumbnails kept, the least recently shown dropped first

// A decoded picture: an ImageBitmap, or an image element for what
// createImageBitmap does not take from bytes (SVG). `close` lets it go.
async function decode(blob) {
  try {
    const bitmap = await createImageBitmap(blob);
    return { source: bitmap, width: bitmap.width, height: bitmap.height, close: () => bitmap.close() };
  } catch {
    const address = URL.createObjectURL(blob);
    const image = new Image();
    image.src = address;
    try {
      await image.decode();
    } finally {
      URL.revokeObjectURL(address);
    }
    return { source: image, width: image.naturalWidth, height: image.naturalHeight, close: () => image.removeAttribute('src') };
  }
}

async function shrink(picture) {
  const ratio = Math.min(2, Math.max(1, globalThis.devicePixelRatio || 1));
  const { width, height } = fitWithin(picture.width, picture.height, Math.round(THUMBNAIL_BOX * ratio));
  const canvas = new OffscreenCanvas(width, height);
  const context = canvas.getContext('2d');
  context.imageSmoothingQuality = 'high';
  context.drawImage(picture.source, 0, 0, width, height);
  return canvas.convertToBlob({ type: 'image/webp', quality: 0.85 });
}

export class Thumbnails {
  constructor(store) {
    this.store = store;           // holds the password, and learns which items are encrypted
    this.made = new Map();        // item address -> { src (a blob: address), bytes }, least recently shown first
    this.bytes = 0;
    this.failures = new Set();    // addresses whose picture could not be fetched or decoded
    this.lockedWith = new Map();  // address -> the password (or null) that it answered 401 to
  }

  // The address of an item's thumbnail, or null when none is made.
  get(url) {
    const made = this.made.get(url);
    if (!made) return null;
    this.made.delete(url);
    this.made.set(url, made);
    return made.src;
  }

  failed(url) { return this.failures.has(url); }

  // Whether the picture needs a password other than the one the page holds.
  locked(url) { return this.lockedWith.has(url) && this.lockedWith.get(url) === this.store.password; }

  // Makes an item's thumbnail; true once made. A failure is kept, so that the
  // item is not asked for again; a load stopped through `signal` is not one,
  // nor is a lock, which a new password may open.
  async make(url, signal) {
    try {
      const password = this.store.password;
      const response = await fetch(url, { signal, headers: this.store.passwordHeaders() });
      if (response.status === 401) {
        this.store.locked.add(url);
        this.lockedWith.set(url, password);
        return false;
      }
      if (!response.ok) throw new Error(`status ${response.status}`);
      const picture = await decode(await response.blob());
      let small;
      try {
        small = await shrink(picture);
      } finally {
        picture.close();
      }
      this.keep(url, small);
      return true;
    } catch (error) {
      if (error.name !== 'AbortError') this.failures.add(url);
      return false;
    }
  }

  // Makes an item's thumbnail from its picture decoded elsewhere (the reader's
  // pages), without fetching it again: `source` is an image or bitmap.
  async makeFrom(url, source, width, height) {
    if (this.made.has(url) || !width || !height) return;
    try {
      this.keep(url, await shrink({ source, width, height }));
    } catch { /* the grid makes it from the item when it needs it */ }
  }

  keep(url, blob) {
    this.made.set(url, { src: URL.createObjectURL(blob), bytes: blob.size });
    this.bytes += blob.size;
    for (const [key, made] of this.made) {
      if (this.bytes <= BUDGET || key === url) break;
      URL.revokeObjectURL(made.src);
      this.made.delete(key);
      this.bytes -= made.bytes;
    }
  }
}

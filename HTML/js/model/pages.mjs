// The reader's page model, with no page in sight: which pages show together,
// in which order on the screen, where a key, a click or the slider leads, how
// large a spread is drawn, and which pages to have ready. Pages are numbered
// from 0 in reading order (the folder's natural order).
import { kindFromName } from './kinds.mjs';

export const FITS = ['width', 'height', 'both', 'original'];
export const ZOOM_STEP = 1.25;
export const ZOOM_LIMITS = [0.1, 8];

// A picture wider than high is a spread of its own (two pages scanned as one).
export const isWide = (size) => !!size && size.width > size.height;

// The pages in groups of what shows at once. Alone: each page. Two up: pairs,
// with the first page alone as a cover when `cover` is on, and a wide page (as
// `sizeOf(page)` tells once it is known) alone, so that the page before it is
// alone too.
export function spreads(count, { double = false, cover = true, sizeOf = () => null } = {}) {
  const list = [];
  let page = 0;
  if (double && cover && count) list.push([page++]);
  while (page < count) {
    const pair = double && page + 1 < count && !isWide(sizeOf(page)) && !isWide(sizeOf(page + 1));
    list.push(pair ? [page, page + 1] : [page]);
    page += pair ? 2 : 1;
  }
  return list;
}

// The index of the spread that holds a page (the last one for a page past the end).
export function spreadOf(list, page) {
  const at = list.findIndex((spread) => spread.includes(page));
  return at >= 0 ? at : Math.max(0, list.length - 1);
}

// A spread's pages from left to right on the screen.
export const onScreen = (spread, rtl) => (rtl ? spread.slice().reverse() : spread.slice());

// The spreads a key moves by: +1 on, -1 back, ±Infinity to the end or the
// start; null for a key that does not turn. Right to left swaps the arrows.
export function turnOfKey(key, { rtl = false, shift = false } = {}) {
  switch (key) {
    case 'ArrowRight': return rtl ? -1 : 1;
    case 'ArrowLeft': return rtl ? 1 : -1;
    case 'PageDown': return 1;
    case 'PageUp': return -1;
    case ' ': return shift ? -1 : 1;
    case 'Home': return -Infinity;
    case 'End': return Infinity;
    default: return null;
  }
}

// A click at x across a stage `width` wide: the left third turns towards the
// left page (back, or on in right-to-left order), the right third the other
// way, the middle third does not turn (0).
export function turnOfClick(x, width, rtl) {
  const third = Math.floor((3 * x) / width);
  const towardsRight = third >= 2 ? 1 : third <= 0 ? -1 : 0;
  return rtl ? 0 - towardsRight : towardsRight;
}

// A swipe of dx pixels: a finger drawn leftwards brings the page on the right.
export function turnOfSwipe(dx, dy, rtl, least = 40) {
  if (Math.abs(dx) < least || Math.abs(dx) < 1.5 * Math.abs(dy)) return 0;
  return (dx < 0 ? 1 : -1) * (rtl ? -1 : 1);
}

// The spread after `by` turns from `at`, kept inside the list.
export const turned = (list, at, by) => Math.max(0, Math.min(list.length - 1, at + by));

// Where a page sits along the slider, from 0 at its left end to 1 at its right;
// right to left, the first page is at the right end.
export function sliderPosition(page, count, rtl) {
  const fraction = count > 1 ? page / (count - 1) : 0;
  return rtl ? 1 - fraction : fraction;
}

// The page nearest a position along the slider.
export function pageAtPosition(position, count, rtl) {
  const fraction = Math.max(0, Math.min(1, rtl ? 1 - position : position));
  return Math.round(fraction * Math.max(0, count - 1));
}

// "Page 3 of 40" or "Pages 2–3 of 40" for a spread.
export function pageLabel(spread, count) {
  if (!spread || !spread.length) return '';
  if (spread.length === 1) return `Page ${spread[0] + 1} of ${count}`;
  return `Pages ${spread[0] + 1}–${spread[spread.length - 1] + 1} of ${count}`;
}

// A spread laid out side by side at one height: each page's scale and the
// whole size, drawn to fit the stage `box` as `fit` says (see FITS), times
// `zoom`. Original size draws the tallest page at its own size. Pages whose
// size is not known yet take the size of the others, or a portrait's.
export function layOut(sizes, box, fit, zoom = 1) {
  const known = sizes.filter(Boolean);
  const fallback = known[0] ?? { width: 2, height: 3 };
  const pages = sizes.map((size) => size ?? fallback);
  const height = Math.max(...pages.map((p) => p.height));
  const widths = pages.map((p) => (p.width * height) / p.height);
  const width = widths.reduce((sum, w) => sum + w, 0);
  const byWidth = box.width / width, byHeight = box.height / height;
  const base = { width: byWidth, height: byHeight, both: Math.min(byWidth, byHeight), original: 1 }[fit] ?? Math.min(byWidth, byHeight);
  const scale = base * zoom;
  return {
    width: Math.round(width * scale),
    height: Math.round(height * scale),
    pages: pages.map((p, i) => ({ width: Math.round(widths[i] * scale), height: Math.round(height * scale) })),
  };
}

// The zoom after a step in or out (+1, -1), kept within ZOOM_LIMITS.
export function zoomed(zoom, steps) {
  const [least, most] = ZOOM_LIMITS;
  return Math.max(least, Math.min(most, zoom * ZOOM_STEP ** steps));
}

// The pages to have ready while a spread shows, the most needed first: its
// own, then `ahead` pages after it, then `behind` pages before it.
export function pagesToFetch(list, at, { ahead = 3, behind = 1 } = {}) {
  const spread = list[at] ?? [];
  if (!spread.length) return [];
  const count = list.at(-1).at(-1) + 1;
  const wanted = spread.slice();
  const last = spread.at(-1), first = spread[0];
  for (let page = last + 1; page <= last + ahead && page < count; page++) wanted.push(page);
  for (let page = first - 1; page >= first - behind && page >= 0; page--) wanted.push(page);
  return wanted;
}

const isPicture = (name) => kindFromName(name)?.kind === 'image';
const holdsPictures = (folder) => folder.files.some(isPicture);

// Comic archives by their extension: zip, rar, 7z and tar of pages.
export const COMIC_EXTENSION = /\.cb[zr7t]$/i;

// The folder of an archive's pages that the reader opens at once, or null: in
// a comic archive (by its name), the root or, when that holds no picture, its
// only folder; in any other archive, a root or only folder (with nothing beside
// it) that holds pictures and nothing else.
export function comicFolder(root, archiveName) {
  let folder = root;
  if (!holdsPictures(root) && root.folders.length === 1) folder = root.folders[0];
  if (COMIC_EXTENSION.test(archiveName ?? '')) return holdsPictures(folder) ? folder : null;
  const alone = folder === root || !root.files.length;
  return alone && !folder.folders.length && folder.files.length && folder.files.every(isPicture) ? folder : null;
}

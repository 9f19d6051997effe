// The arithmetic of the grid of tiles, apart from the page so that it can be
// tested alone: how many columns a width takes, which tiles are in view, what
// size a thumbnail is drawn at, and which thumbnails to load next.

// Thumbnails loading at once. Few, so that the server gets the pictures of a
// folder nearly in its order and can read a solid block of them once.
export const THUMBNAIL_LOADS = 3;

// The side of the square that a thumbnail fits in, in CSS pixels.
export const THUMBNAIL_BOX = 160;

// Columns of tiles at least `tileWidth` wide, with `gap` between them and at
// both edges; always at least one.
export function gridColumns(width, tileWidth, gap) {
  return Math.max(1, Math.floor((width - gap) / (tileWidth + gap)));
}

export const rowCount = (count, columns) => Math.ceil(count / columns);

// The tiles from `first` to `last` (not included) whose rows a scroller of
// `height` pixels shows when scrolled to `scrollTop`; none while it has no height.
export function tilesInView({ scrollTop, height, rowHeight, columns, count }) {
  if (height <= 0 || count <= 0) return { first: 0, last: 0 };
  const rows = rowCount(count, columns);
  const firstRow = Math.min(rows, Math.max(0, Math.floor(scrollTop / rowHeight)));
  const lastRow = Math.min(rows, Math.max(firstRow, Math.ceil((scrollTop + height) / rowHeight)));
  return { first: Math.min(count, firstRow * columns), last: Math.min(count, lastRow * columns) };
}

// The size that a picture of width × height pixels is drawn at to fit a square
// of `box` pixels, in its own proportions and never larger than it is.
export function fitWithin(width, height, box) {
  const scale = Math.min(1, box / Math.max(width, height));
  return { width: Math.max(1, Math.round(width * scale)), height: Math.max(1, Math.round(height * scale)) };
}

// What to do about thumbnails while the tiles from `first` to `last` are in
// view. Loads of tiles more than a screenful (last - first tiles) away from
// them are stopped; then the tiles in view that `needs` a thumbnail and are not
// loading already are started, in the folder's order, until `limit` load at once.
// `loading` holds the indices of the tiles loading (a Set, or the keys of a Map).
export function planLoads({ first, last, loading, needs, limit }) {
  const margin = last - first;
  const stop = [...loading.keys()].filter((index) => index < first - margin || index >= last + margin);
  const start = [];
  let busy = loading.size - stop.length;
  for (let index = first; index < last && busy < limit; index++) {
    if (loading.has(index) || !needs(index)) continue;
    start.push(index);
    busy++;
  }
  return { start, stop };
}

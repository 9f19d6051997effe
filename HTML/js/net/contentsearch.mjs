// Searching the contents of the archive's items: the server's search streamed
// as NDJSON, read line by line as it comes; the results grouped by item; the
// matches of a line cut into pieces for highlighting; and the search as the
// page's address holds it ("#?search=...").
import { NdjsonRun } from './ndjson.mjs';

// The address of a search of the archive at `base` (the listing's address, or
// an inner archive's item address).
export function searchUrl(base, { pattern, regex = false, caseSensitive = false, folder = '' }) {
  const query = new URLSearchParams({ search: pattern });
  if (regex) query.set('regex', '1');
  if (caseSensitive) query.set('case', '1');
  if (folder) query.set('in', folder);
  return base + '?' + query.toString();
}

// The search in the page's address, and back.
export function searchHash({ pattern, regex = false, caseSensitive = false }) {
  const query = new URLSearchParams({ search: pattern });
  if (regex) query.set('regex', '1');
  if (caseSensitive) query.set('case', '1');
  return '#?' + query.toString();
}

export function readSearchHash(hash) {
  if (!hash.startsWith('#?')) return null;
  const query = new URLSearchParams(hash.slice(2));
  const pattern = query.get('search');
  if (!pattern) return null;
  return { pattern, regex: query.get('regex') === '1', caseSensitive: query.get('case') === '1' };
}

// A line's text cut into pieces that alternate between unmatched and matched
// (the first unmatched, maybe empty). The ranges are byte offsets into the
// text as UTF-8, as the server gives them.
export function matchedPieces(text, ranges) {
  const bytes = new TextEncoder().encode(text);
  const decoder = new TextDecoder();
  const pieces = [];
  let at = 0;
  for (const [start, end] of ranges) {
    if (start < at || end < start || end > bytes.length) continue;
    pieces.push(decoder.decode(bytes.subarray(at, start)), decoder.decode(bytes.subarray(start, end)));
    at = end;
  }
  pieces.push(decoder.decode(bytes.subarray(at)));
  return pieces;
}

// The results so far: items in the order found, each with its matching lines.
export class ResultGroups {
  constructor() {
    this.items = [];
    this.byPath = new Map();
    this.lines = 0;
  }

  add(hit) {
    let group = this.byPath.get(hit.item);
    if (!group) {
      group = { item: hit.item, address: hit.address ?? hit.item, hits: [] };
      this.byPath.set(hit.item, group);
      this.items.push(group);
    }
    group.hits.push(hit);
    this.lines++;
    return group;
  }

  // Every row in the order shown: a group's head, then its lines.
  rows() {
    const rows = [];
    for (const group of this.items) {
      rows.push({ group });
      for (const hit of group.hits) rows.push({ group, hit });
    }
    return rows;
  }
}

// One search on its way: results, progress and the end go to the callbacks;
// stop() ends it (the server stops when the reply is dropped). A refused
// pattern ends it with the server's reason.
export class ContentSearch {
  constructor({ onHit, onProgress, onDone, onFail }) {
    this.run = new NdjsonRun({
      onMessage(message) {
        if (message.progress) onProgress(message.progress);
        else if (message.done) onDone(message.done);
        else onHit(message);
      },
      onFail,
      failed: (status) => `The search failed (${status}).`,
    });
  }

  get running() { return this.run.running; }
  start(url, headers = {}) { return this.run.start(url, headers); }
  stop() { this.run.stop(); }
}

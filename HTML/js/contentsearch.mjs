// Searching the contents of the archive's items: the server's search streamed
// as NDJSON, read line by line as it comes; the results grouped by item; the
// matches of a line cut into pieces for highlighting; and the search as the
// page's address holds it ("#?search=...").

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

// The objects of an NDJSON body as they arrive; a line cut by the end of the
// body is dropped.
export async function* ndjsonLines(body) {
  const reader = body.getReader();
  const decoder = new TextDecoder();
  let pending = '';
  for (;;) {
    const { value, done } = await reader.read();
    if (done) break;
    pending += decoder.decode(value, { stream: true });
    let end;
    while ((end = pending.indexOf('\n')) >= 0) {
      const line = pending.slice(0, end);
      pending = pending.slice(end + 1);
      if (line) yield JSON.parse(line);
    }
  }
}

// One search on its way: results, progress and the end go to the callbacks;
// stop() ends it (the server stops when the reply is dropped). A refused
// pattern ends it with the server's reason.
export class ContentSearch {
  constructor({ onHit, onProgress, onDone, onFail }) {
    Object.assign(this, { onHit, onProgress, onDone, onFail });
    this.controller = null;
  }

  get running() { return this.controller !== null; }

  async start(url, headers = {}) {
    this.stop();
    const controller = new AbortController();
    this.controller = controller;
    try {
      const reply = await fetch(url, { signal: controller.signal, headers });
      if (!reply.ok) throw new Error((await reply.text()).trim() || `The search failed (${reply.status}).`);
      for await (const message of ndjsonLines(reply.body)) {
        if (this.controller !== controller) return;
        if (message.progress) this.onProgress(message.progress);
        else if (message.done) this.onDone(message.done);
        else this.onHit(message);
      }
    } catch (error) {
      if (this.controller === controller && error.name !== 'AbortError') this.onFail(error);
    } finally {
      if (this.controller === controller) this.controller = null;
    }
  }

  stop() {
    if (!this.controller) return;
    const controller = this.controller;
    this.controller = null;
    controller.abort();
  }
}

// Pages fetched before they are asked for. The reader says which pages it
// wants ready, the most needed first (see pagesToFetch in pages.mjs); the
// prefetcher loads them a few at a time in that order through `load`, which
// fetches and decodes one, keeps what it loaded for a while, stops loads that
// are no longer wanted, and lets go of what falls out of use. Each page it
// holds is { image, width, height, release() }; release() is the prefetcher's
// to call, once it drops the page.

export class Prefetcher {
  // load(url, signal) -> a promise of the page; onLoad(url, page) hears of each.
  constructor({ load, onLoad = () => {}, parallel = 2, keep = 3 }) {
    this.load = load;
    this.onLoad = onLoad;
    this.parallel = parallel;  // loads at once, beside the one of the page on show
    this.keep = keep;          // loaded pages kept beyond the wanted ones, the least recently wanted dropped first
    this.entries = new Map();  // url -> { promise, controller, page, failed }, least recently wanted first
    this.wanted = [];
    this.first = 0;            // how many of the wanted pages load before the others start
  }

  // The page loaded for a url, or null while it is not (yet) there.
  ready(url) { return this.entries.get(url)?.page ?? null; }

  // A promise of the page of a url, loading it at once when it is not on its way.
  get(url) {
    return (this.entries.get(url) ?? this.start(url)).promise;
  }

  // Sets the pages to have ready, most needed first: loads of pages no longer
  // wanted stop, the wanted ones start in order, those after the first `first`
  // only once these are loaded (the pages on show, which need the whole line).
  want(urls, { first = 0 } = {}) {
    this.wanted = urls;
    this.first = first;
    const wanted = new Set(urls);
    for (const url of urls) {
      const entry = this.entries.get(url);
      if (entry) { this.entries.delete(url); this.entries.set(url, entry); }
    }
    let spare = this.keep;
    for (const [url, entry] of [...this.entries].reverse()) {
      if (wanted.has(url)) continue;
      if (entry.page && spare > 0) { spare--; continue; }
      this.drop(url, entry);
    }
    this.pump();
  }

  get running() {
    let count = 0;
    for (const entry of this.entries.values()) if (!entry.page && !entry.failed) count++;
    return count;
  }

  pump() {
    const waiting = this.wanted.slice(0, this.first).some((url) => !this.entries.get(url)?.page);
    for (const [i, url] of this.wanted.entries()) {
      if (this.running >= this.parallel || (waiting && i >= this.first)) return;
      if (!this.entries.has(url)) this.start(url);
    }
  }

  start(url) {
    const controller = new AbortController();
    const entry = { controller, page: null, failed: false, promise: null };
    entry.promise = this.load(url, controller.signal).then((page) => {
      if (this.entries.get(url) !== entry) { page.release(); throw abortError(); }
      entry.page = page;
      this.onLoad(url, page);
      return page;
    }, (error) => {
      entry.failed = true;
      // A failed page is not kept, so that it is tried again when next wanted.
      if (this.entries.get(url) === entry && error.name !== 'AbortError') this.entries.delete(url);
      throw error;
    }).finally(() => this.pump());
    // Whoever awaits the page hears of a failure; the prefetcher itself does not.
    entry.promise.catch(() => {});
    this.entries.set(url, entry);
    return entry;
  }

  drop(url, entry) {
    this.entries.delete(url);
    if (entry.page) entry.page.release();
    else entry.controller.abort();
  }

  // Lets go of every page and stops every load.
  clear() {
    for (const [url, entry] of [...this.entries]) this.drop(url, entry);
    this.wanted = [];
  }
}

const abortError = () => new DOMException('The page is no longer wanted.', 'AbortError');

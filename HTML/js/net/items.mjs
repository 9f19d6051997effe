// Fetching items from the server: whole items, kept for the next preview, and
// first bytes, which tell the kind of an item whose name does not. What the
// store learns of an item (its size, its kind from its bytes) it keeps, and
// says so through `onLearn`, so that the list can show it. An encrypted item
// answers 401: the store asks for the password through `askPassword`, sends it
// in the X-Archive-Password header (never in the address, so that no history
// or log keeps it) and keeps it for the page's life, in memory only.
import { kindFromBytes } from '../model/kinds.mjs';

export const SNIFF_BYTES = 4096;              // first bytes fetched to tell the kind of an item
export const PASSWORD_HEADER = 'X-Archive-Password';
const CACHE_BYTES = 256 * 1024 * 1024;        // fetched items kept for the next preview

export class FetchFailure extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

// The item's whole size from a reply to a range request: after the slash of
// Content-Range, or the length of a reply that sends the whole item.
export function sizeFromReply(response) {
  const range = /\/(\d+)$/.exec(response.headers.get('Content-Range') || '');
  if (range) return Number(range[1]);
  const length = response.headers.get('Content-Length');
  return response.status === 200 && length ? Number(length) : null;
}

export class ItemStore {
  constructor({ fetch = globalThis.fetch.bind(globalThis), onLearn = () => {}, askPassword = null, onPassword = () => {} } = {}) {
    this.fetch = fetch;
    this.onLearn = onLearn;
    this.onPassword = onPassword;   // called when the user gives a password
    this.askPassword = askPassword; // ({ wrong }) -> the password typed, or null when the user declines
    this.password = null;             // the one the user gave last
    this.asking = null;               // the question on show, which every request that needs it awaits
    this.cache = new Map();   // url -> bytes, newest last
    this.cachedBytes = 0;
    this.sizes = new Map();   // url -> size in bytes
    this.sniffed = new Map(); // url -> kind that the first bytes tell
    this.locked = new Set();  // urls that answered 401: encrypted items
  }

  // The password's header for a request, when the user gave one.
  passwordHeaders() {
    return this.password == null ? {} : { [PASSWORD_HEADER]: encodeURIComponent(this.password) };
  }

  // Whether an item needs the password: the listing says that it is encrypted,
  // or it answered 401.
  isEncrypted(url, info = null) {
    return info?.encrypted === true || this.locked.has(url);
  }

  remember(url, bytes) {
    if (this.cache.has(url)) this.cachedBytes -= this.cache.get(url).length;
    this.cache.delete(url);
    this.cache.set(url, bytes);
    this.cachedBytes += bytes.length;
    for (const [key, value] of this.cache) {
      if (this.cachedBytes <= CACHE_BYTES || key === url) break;
      this.cache.delete(key);
      this.cachedBytes -= value.length;
    }
  }

  learnSize(url, size) {
    this.sizes.set(url, size);
    this.onLearn(url);
  }

  // A whole item's bytes: kept for the next preview, its size learnt.
  keep(url, bytes) {
    this.remember(url, bytes);
    this.learnSize(url, bytes.length);
    return bytes;
  }

  // The server's reply to a request for an item, or a FetchFailure that says in
  // plain words what went wrong.
  async request(url, options = {}) {
    for (;;) {
      const sent = this.password;
      const headers = { ...options.headers, ...this.passwordHeaders() };
      let response;
      try {
        response = await this.fetch(url, { cache: 'no-store', ...options, headers });
      } catch (error) {
        if (error.name === 'AbortError') throw error;
        throw new FetchFailure(0, 'Vorsel did not answer. Is it still running?');
      }
      if (response.status !== 401) return this.check(response);
      this.locked.add(url);
      if (!this.askPassword) throw new FetchFailure(401, 'This item is encrypted, and no password was given for it.');
      // Another request may have learnt a password meanwhile: try that one first.
      if (this.password === sent && !(await this.ask(sent != null))) {
        throw new FetchFailure(401, sent == null ? 'This item is encrypted, and no password was given for it.'
          : 'The password is wrong, or the encrypted item is damaged.');
      }
    }
  }

  // Asks the user for the password, once for all the requests that need it;
  // false when the user declines.
  async ask(wrong) {
    if (!this.asking) {
      this.asking = Promise.resolve(this.askPassword({ wrong })).then((password) => {
        if (password == null) return false;
        this.password = password;
        this.onPassword();
        return true;
      }).finally(() => { this.asking = null; });
    }
    return this.asking;
  }

  // A failure's plain-text sentence from the server (the item and the cause
  // for a 500, the change for a 409) is said as it is.
  async check(response) {
    if (response.status === 404) throw new FetchFailure(404, 'The archive holds no item under this name. It may be a folder that holds nothing, or a folder that the archive only implies.');
    if (response.status === 500 || response.status === 409) {
      const said = (response.headers.get('Content-Type') ?? '').startsWith('text/plain') ? (await response.text()).trim() : '';
      throw new FetchFailure(response.status, said || (response.status === 409
        ? 'The archive changed on disk after Vorsel opened it. Start Vorsel again on it to see its new contents.'
        : 'Vorsel could not extract it: the archive may be damaged here, or the item may be stored with a method or password that the 7-Zip library cannot handle.'));
    }
    if (!response.ok) throw new FetchFailure(response.status, `The server refused this item (status ${response.status}).`);
    return response;
  }

  // The item's bytes, or a FetchFailure; onProgress(received, total) follows a
  // large item as it comes.
  async fetchItem(url, { signal, onProgress } = {}) {
    if (this.cache.has(url)) {
      const bytes = this.cache.get(url);
      this.remember(url, bytes);
      return bytes;
    }
    const response = await this.request(url, { signal });
    const total = Number(response.headers.get('Content-Length')) || 0;
    if (!response.body || !onProgress || total <= 256 * 1024) return this.keep(url, new Uint8Array(await response.arrayBuffer()));
    const reader = response.body.getReader();
    let bytes = new Uint8Array(total);
    let received = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      if (received + value.length > bytes.length) {
        const grown = new Uint8Array(Math.max(bytes.length * 2, received + value.length));
        grown.set(bytes.subarray(0, received));
        bytes = grown;
      }
      bytes.set(value, received);
      received += value.length;
      onProgress(received, total);
    }
    return this.keep(url, bytes.subarray(0, received));
  }

  // The whole item as a Blob, for saving it: the bytes kept if it was fetched
  // for a preview, else fetched without keeping them.
  async fetchBlob(url) {
    const kept = this.cache.get(url);
    if (kept) return new Blob([kept]);
    return (await this.request(url)).blob();
  }

  // The first SNIFF_BYTES of an item and its size (null when the reply does not
  // tell it), or a FetchFailure. Only a range is asked for; from a server that
  // sends the whole item anyway, no more than that is read.
  async fetchHead(url, signal) {
    if (this.cache.has(url)) {
      const whole = this.cache.get(url);
      return { bytes: whole.subarray(0, SNIFF_BYTES), size: whole.length };
    }
    let response;
    try {
      response = await this.request(url, { signal, headers: { Range: `bytes=0-${SNIFF_BYTES - 1}` } });
    } catch (error) {
      // Only an empty item has no first byte to send.
      if (error.status === 416) return { bytes: this.keep(url, new Uint8Array(0)), size: 0 };
      throw error;
    }
    const bytes = new Uint8Array(SNIFF_BYTES);
    const reader = response.body.getReader();
    let received = 0, ended = false;
    while (received < SNIFF_BYTES) {
      const { done, value } = await reader.read();
      if (done) { ended = true; break; }
      const part = value.subarray(0, SNIFF_BYTES - received);
      bytes.set(part, received);
      received += part.length;
    }
    if (!ended) reader.cancel();
    const head = bytes.subarray(0, received);
    const size = ended ? received : sizeFromReply(response);
    if (size === received) this.keep(url, head);
    else if (size != null) this.learnSize(url, size);
    return { bytes: head, size };
  }

  // The kind that an item's first bytes tell, fetched once and then kept.
  async sniff(url, signal) {
    if (this.sniffed.has(url)) return this.sniffed.get(url);
    const head = await this.fetchHead(url, signal);
    if (!head.bytes.length) return null;
    const kind = kindFromBytes(head.bytes);
    this.sniffed.set(url, kind);
    this.onLearn(url);
    return kind;
  }
}

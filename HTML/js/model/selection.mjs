// The entries that the reader picks to take out together (as one zip, or into
// a folder on disk). They are kept by address (see addressOf in places.mjs),
// so a pick outlives the folder on show and may come from any folder; a picked
// folder stands for everything under it, so what lies under it is not kept on
// its own. The picks belong to one archive (`scopeOf`): a pick in another
// starts afresh. Ranges (Shift) run from the anchor, the last entry picked or
// dropped one at a time, over the list on show.

export const SELECTION_LIMIT = 100000;

export class Selection {
  constructor({ addressOf, scopeOf = () => null, limit = SELECTION_LIMIT, onChange = () => {} }) {
    Object.assign(this, { addressOf, scopeOf, limit, onChange });
    this.picked = new Map();  // address -> entry, in the order picked
    this.scope = null;
    this.anchor = null;       // address where a range starts
    this.ranged = [];         // addresses that the last range added, which the next one from the same anchor replaces
    this.full = false;        // whether the last change met the limit
  }

  get size() { return this.picked.size; }
  entries() { return [...this.picked.values()]; }
  addresses() { return [...this.picked.keys()]; }

  // 'picked', 'within' (under a picked folder) or null.
  state(entry) {
    if (!this.picked.size || this.scopeOf(entry) !== this.scope) return null;
    const address = this.addressOf(entry);
    if (this.picked.has(address)) return 'picked';
    for (let at = address.lastIndexOf('/'); at > 0; at = address.lastIndexOf('/', at - 1))
      if (this.picked.has(address.slice(0, at))) return 'within';
    return null;
  }

  clear() {
    if (!this.picked.size && this.anchor === null) return;
    this.picked.clear();
    this.anchor = null;
    this.ranged = [];
    this.full = false;
    this.onChange();
  }

  // Picks or drops the entry at `index` of `source` ({ length, at(i) });
  // an entry under a picked folder stays as it is. False when nothing changed.
  toggle(source, index) {
    const entry = source.at(index);
    const state = this.state(entry);
    if (state === 'within') return false;
    this.enter(entry);
    const address = this.addressOf(entry);
    this.anchor = address;
    this.ranged = [];
    this.full = false;
    if (state === 'picked') this.drop(address);
    else if (!this.add(entry)) return false;
    this.settle();
    return true;
  }

  // Picks the entries from the anchor to `index`, in place of the range that
  // the last Shift pick from the same anchor added; without an anchor in the
  // list, picks the one entry.
  extend(source, index) {
    const from = this.anchor === null ? -1 : indexOf(source, this.anchor, this.addressOf);
    if (from < 0) return this.toggle(source, index);
    for (const address of this.ranged) this.picked.delete(address);
    this.ranged = [];
    this.full = false;
    const step = index >= from ? 1 : -1;
    for (let i = from; ; i += step) {
      const entry = source.at(i);
      this.enter(entry);
      const address = this.addressOf(entry);
      if (!this.picked.has(address) && this.state(entry) !== 'within') {
        if (!this.add(entry)) break;
        this.ranged.push(address);
      }
      if (i === index) break;
    }
    this.settle();
    return true;
  }

  // Picks every entry of `source`: the folder on show, or the filter's hits.
  all(source) {
    this.full = false;
    for (let i = 0; i < source.length; i++) {
      const entry = source.at(i);
      this.enter(entry);
      if (this.state(entry) === null && !this.add(entry)) break;
    }
    this.ranged = [];
    this.settle();
  }

  // The picks start afresh for an entry of another archive.
  enter(entry) {
    const scope = this.scopeOf(entry);
    if (scope === this.scope) return;
    this.picked.clear();
    this.anchor = null;
    this.ranged = [];
    this.scope = scope;
  }

  add(entry) {
    if (this.picked.size >= this.limit) { this.full = true; return false; }
    this.picked.set(this.addressOf(entry), entry);
    return true;
  }

  // Drops an address with whatever was picked under it.
  drop(address) {
    this.picked.delete(address);
    const below = address + '/';
    for (const key of this.picked.keys()) if (key.startsWith(below)) this.picked.delete(key);
  }

  // What lies under a picked folder is not kept on its own; then listeners hear.
  settle() {
    for (const [address] of this.picked) {
      for (let at = address.lastIndexOf('/'); at > 0; at = address.lastIndexOf('/', at - 1)) {
        if (this.picked.has(address.slice(0, at))) { this.picked.delete(address); break; }
      }
    }
    this.onChange();
  }
}

function indexOf(source, address, addressOf) {
  for (let i = 0; i < source.length; i++) if (addressOf(source.at(i)) === address) return i;
  return -1;
}

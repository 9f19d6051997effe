// The filter's index of every name in the archive, and the search over it.

const words = (query) => query.toLowerCase().split(/\s+/).filter(Boolean);

// Every name as it is shown (its label), lower-cased, with its folder and slot;
// folder by folder, each folder's names in one run, folders in the order of the
// tree. Made in one quick pass in the listing's order; each run can then be put
// into name order (see sortSome), so that hits come in the order the folders
// show.
export class SearchIndex {
  constructor(root) {
    this.root = root;
    this.lower = null;
    this.owner = null;
    this.slot = null;
    this.starts = new Map();   // folder -> where its run begins
    this.unsorted = [];        // folders whose run is still in the listing's order, next last
  }

  ensure() {
    if (this.lower) return;
    const lower = [], owner = [], slots = [], unsorted = [];
    const work = [this.root];
    while (work.length) {
      const folder = work.pop();
      this.starts.set(folder, lower.length);
      const sorted = folder.lists.name;
      if (sorted) {
        for (const entry of sorted) { lower.push(entry.label.toLowerCase()); owner.push(folder); slots.push(entry.slot); }
      } else {
        folder.folders.forEach((f, i) => { lower.push(f.label.toLowerCase()); owner.push(folder); slots.push(-i - 1); });
        (folder.labels ?? folder.files).forEach((label, i) => { lower.push(label.toLowerCase()); owner.push(folder); slots.push(i); });
        if (folder.entryCount > 1) unsorted.push(folder);
      }
      const subs = folder.subfolders();
      for (let i = subs.length - 1; i >= 0; i--) work.push(subs[i]);
    }
    Object.assign(this, { lower, owner, slot: Int32Array.from(slots), unsorted: unsorted.reverse() });
    // A small archive is put in order at once: it takes a few milliseconds.
    if (lower.length <= 20000) this.sortSome(() => true);
  }

  get size() {
    this.ensure();
    return this.lower.length;
  }

  // Puts runs into name order while `more()` says so; true when runs are left.
  sortSome(more) {
    this.ensure();
    while (this.unsorted.length && more()) {
      const folder = this.unsorted.pop();
      const start = this.starts.get(folder);
      folder.list('name').forEach((entry, i) => {
        this.lower[start + i] = entry.label.toLowerCase();
        this.slot[start + i] = entry.slot;
      });
    }
    return this.unsorted.length > 0;
  }

  entry(position) {
    return this.owner[position].entryAt(this.slot[position]);
  }

  // Positions of the names that hold every word of the query; names that start
  // with the first word come first.
  search(query) {
    this.ensure();
    const [first, ...more] = words(query);
    const leading = [], other = [];
    if (first === undefined) return other;
    const lower = this.lower;
    outer: for (let i = 0; i < lower.length; i++) {
      const name = lower[i];
      const at = name.indexOf(first);
      if (at < 0) continue;
      for (const word of more) if (name.indexOf(word) < 0) continue outer;
      (at === 0 ? leading : other).push(i);
    }
    return leading.length ? leading.concat(other) : other;
  }
}

// A name cut into pieces that alternate between unmatched and matched (the first
// piece unmatched, maybe empty), for drawing the query's words highlighted. A
// name whose lower case changes its length is one unmatched piece.
export function matchPieces(name, query) {
  const lower = name.toLowerCase();
  const wanted = words(query);
  if (lower.length !== name.length || !wanted.length) return [name];
  const marked = new Uint8Array(name.length);
  for (const word of wanted) {
    for (let at = lower.indexOf(word); at >= 0; at = lower.indexOf(word, at + word.length)) marked.fill(1, at, at + word.length);
  }
  const pieces = [];
  let start = 0, state = 0;
  for (let i = 0; i <= name.length; i++) {
    if (i === name.length || marked[i] !== state) {
      pieces.push(name.slice(start, i));
      start = i;
      state = marked[i];
    }
  }
  return pieces;
}

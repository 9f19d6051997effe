// The archive's folders, built from the listing that the server sends: names
// only, or names with sizes and dates. Folders make their sorted lists of
// entries when first asked and keep them. An archive inside the archive, once
// opened, hangs below the folder that holds it as a tree of its own, whose root
// is named after the item: paths, and so addresses, go on through it.
//
// A name is what addresses are made of and what lookups compare; the label is
// what the page shows. They differ only where the listing gives an "address":
// a name with bytes that nothing decoded is shown with U+FFFD in their place
// (its "name" in the listing) and reached by the address (its name here), so
// that two names that differ only there stay two.
import { extensionOf } from './kinds.mjs';
import { naturalKey, fileOrder, folderOrder } from './order.mjs';

export class Folder {
  constructor(name, parent, modified = null, label = name) {
    this.name = name;
    this.label = label;
    this.parent = parent;
    this.depth = parent ? parent.depth + 1 : 0;
    this.modified = modified;
    this.folders = [];
    this.files = [];          // names
    this.labels = null;       // per file: its label, when some file's differs from its name
    this.info = null;         // per file: { size, modified, packedSize, crc, encrypted, link, target, and created, accessed, attributes, method, comment where recorded }, when the listing tells
    this.bytes = null;        // total size of the files at any depth below, when the listing tells sizes
    this.key = sortKey(name, label);
    this.slot = -1;           // -(position in the parent's folders) - 1
    this.order = 0;           // position among the parent's folders in name order
    this.entry = null;
    this.sortedFolders = null;
    this.fileEntries = null;
    this.fileSet = null;
    this.folderMap = null;
    this.lists = {};
    this.listing = null;      // on the root of an archive: { archive, detailed, stats } of its listing
    this.inner = null;        // name of a file -> the root of the archive it holds, once opened
  }
  get entryCount() { return this.folders.length + this.files.length; }
  get branchCount() { return this.folders.length + (this.inner ? this.inner.size : 0); }
  path() {
    const parts = [];
    for (let f = this; f.parent; f = f.parent) parts.push(f.name);
    return parts.reverse();
  }
  // The labels of the folders down to this one from the root, as path() names them.
  labelPath() {
    const parts = [];
    for (let f = this; f.parent; f = f.parent) parts.push(f.label);
    return parts.reverse();
  }
  // The label of the file `name` of this folder.
  labelOf(name) {
    if (!this.labels) return name;
    const at = this.files.indexOf(name);
    return at < 0 ? name : this.labels[at];
  }
  folder(name) {
    if (!this.folderMap) this.folderMap = new Map(this.folders.map((f) => [f.name, f]));
    return this.folderMap.get(name);
  }
  hasFile(name) {
    if (!this.fileSet) this.fileSet = new Set(this.files);
    return this.fileSet.has(name);
  }
  // The root of the archive that holds this folder: the outer one or an archive inside.
  archiveRoot() {
    let folder = this;
    while (!folder.listing) folder = folder.parent;
    return folder;
  }
  // Whether this folder is the root of an archive inside the archive.
  get isInnerArchive() { return this.parent !== null && this.listing !== null; }
  innerArchive(name) { return this.inner?.get(name) ?? null; }
  // Hangs the listing of the archive that the file `name` holds below this folder.
  openInnerArchive(name, json) {
    const { root } = buildTree(json, { name, label: this.labelOf(name), parent: this });
    (this.inner ||= new Map()).set(name, root);
    return root;
  }
  // What the folder tree shows below this folder: its sub-folders, then the
  // archives opened from its files, each in name order.
  branches() {
    const folders = this.subfolders();
    if (!this.inner) return folders;
    const archives = [...this.inner.values()].sort(folderOrder('name'));
    archives.forEach((a, i) => { a.order = folders.length + i; });
    return folders.concat(archives);
  }
  // Sub-folders in name order, as the folder tree shows them.
  subfolders() {
    if (!this.sortedFolders) {
      this.sortedFolders = this.folders.slice().sort(folderOrder('name'));
      this.sortedFolders.forEach((f, i) => { f.order = i; });
    }
    return this.sortedFolders;
  }
  // The entry of a name in this folder: a slot below 0 is a sub-folder, any other
  // a file. Entries are made when first needed and then kept.
  entryAt(slot) {
    if (slot < 0) {
      const folder = this.folders[-slot - 1];
      return folder.entry || (folder.entry = {
        name: folder.name, label: folder.label, folder, parent: this, slot, key: folder.key, ext: '', size: folder.bytes, modified: folder.modified, info: null,
      });
    }
    if (!this.fileEntries) this.fileEntries = new Array(this.files.length);
    const info = this.info && this.info[slot];
    const name = this.files[slot];
    return this.fileEntries[slot] || (this.fileEntries[slot] = {
      name, label: this.labels ? this.labels[slot] : name, folder: null, parent: this, slot, key: null, ext: null,
      size: info ? info.size : null, modified: info ? info.modified : null, info,
    });
  }
  // The folder's entries in an order (see order.mjs): folders first, then files.
  list(mode) {
    if (this.lists[mode]) return this.lists[mode];
    const files = new Array(this.files.length);
    for (let i = 0; i < files.length; i++) {
      const entry = this.entryAt(i);
      if (entry.key === null) { entry.key = sortKey(entry.name, entry.label); entry.ext = extensionOf(entry.label); }
      files[i] = entry;
    }
    files.sort(fileOrder(mode));
    const folders = this.folders.map((f) => this.entryAt(f.slot)).sort(folderOrder(mode));
    return (this.lists[mode] = folders.concat(files));
  }
}

const isObject = (value) => value !== null && typeof value === 'object';

// The order of a name goes by its label; two that show the same go by their names.
const sortKey = (name, label) => (label === name ? naturalKey(name) : naturalKey(label) + '\0' + name);

// What a folder object or a file object of the listing is named, and shown as.
const nameOf = (object) => (typeof object.address === 'string' ? object.address : object.name);

// Whether a file object tells more than its name: the listing with details.
const tellsDetails = (file) => isObject(file) && Object.keys(file).some((key) => key !== 'name' && key !== 'address');
const count = (value) => (Number.isFinite(value) && value >= 0 ? value : null);
function moment(value) {
  const ms = typeof value === 'string' ? Date.parse(value) : NaN;
  return Number.isNaN(ms) ? null : ms;
}

// What the listing tells of a file beside its name; null for a bare name. A
// link adds what it is ("symbolic" or "hard") and its target when known.
function fileInfo(file) {
  if (typeof file === 'string') return null;
  const info = {
    size: count(file.size),
    modified: moment(file.modified),
    packedSize: count(file.packedSize),
    crc: typeof file.crc === 'string' && /^[0-9a-f]{8}$/i.test(file.crc) ? file.crc.toUpperCase() : null,
    encrypted: file.encrypted === true,
  };
  // What only some formats record: present only when the listing tells it.
  for (const key of ['created', 'accessed']) if (moment(file[key]) != null) info[key] = moment(file[key]);
  for (const key of ['attributes', 'method', 'comment']) if (typeof file[key] === 'string' && file[key]) info[key] = file[key];
  if (file.link === 'symbolic' || file.link === 'hard')
    Object.assign(info, { link: file.link, target: typeof file.target === 'string' ? file.target : null });
  return info;
}

// Turns the listing into folders, without recursion so that deep archives cannot
// exhaust the stack. Files are names or objects with a name and details; what
// does not have the expected shape is skipped rather than trusted. Throws when
// the whole does not look like a listing. The root is nameless, or for an
// archive inside the archive named (and labelled) after its item and hung
// below `parent`.
export function buildTree(json, { name = '', label = name, parent = null } = {}) {
  if (!isObject(json) || !Array.isArray(json.SubDirectories) || !Array.isArray(json.files))
    throw new Error('The listing does not have the expected shape.');
  const root = new Folder(name, parent, null, label);
  const all = [];
  let files = 0, detailed = false;
  const work = [[json, root]];
  while (work.length) {
    const [object, folder] = work.pop();
    all.push(folder);
    for (const sub of Array.isArray(object.SubDirectories) ? object.SubDirectories : []) {
      if (!isObject(sub) || typeof sub.name !== 'string') continue;
      const child = new Folder(nameOf(sub), folder, moment(sub.modified), sub.name);
      child.slot = -folder.folders.length - 1;
      folder.folders.push(child);
      work.push([sub, child]);
    }
    const list = Array.isArray(object.files) ? object.files : [];
    const kept = list.every((f) => typeof f === 'string') ? list
      : list.filter((f) => typeof f === 'string' || (isObject(f) && typeof f.name === 'string'));
    if (kept.every((f) => typeof f === 'string')) {
      folder.files = kept;
    } else {
      folder.files = kept.map((f) => (typeof f === 'string' ? f : nameOf(f)));
      if (kept.some((f) => typeof f !== 'string' && nameOf(f) !== f.name)) folder.labels = kept.map((f) => (typeof f === 'string' ? f : f.name));
      if (kept.some(tellsDetails)) {
        folder.info = kept.map(fileInfo);
        detailed = true;
      }
    }
    files += folder.files.length;
  }
  const archive = isObject(json.archive) && typeof json.archive.name === 'string'
    ? { name: json.archive.name, size: count(json.archive.size) } : null;
  detailed ||= archive !== null;
  // Folders were made parents first: adding each folder's total into its
  // parent's, last made first, sums every file once.
  if (detailed) {
    for (const folder of all) folder.bytes = folder.info ? folder.info.reduce((sum, info) => sum + (info?.size ?? 0), 0) : 0;
    for (let i = all.length - 1; i > 0; i--) all[i].parent.bytes += all[i].bytes;
  }
  root.listing = { archive, detailed, stats: { folders: all.length - 1, files, bytes: root.bytes } };
  return { root, ...root.listing };
}

// Places: the page's address names a folder, or an item on preview, as "#/" and
// the names down to it, each encoded as a URI component; items are fetched from
// the listing's address followed by their names, encoded the same way. An
// archive inside the archive is a folder named after its item: the names go on
// through it ("#/outer.7z/inner.zip/dir"), and its root is told from the item
// itself by a slash at the end ("#/outer.7z/").

export const LISTING_URL = '/ArchiveContent';

// A name with a lone surrogate cannot be encoded as it is; it is sent with
// U+FFFD instead and so answered with 404, as no stored name matches.
const LONE_SURROGATE = /[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g;
const encodeName = (name) => encodeURIComponent(name.replace(LONE_SURROGATE, '\ufffd'));

export const hashFor = (parts) => '#/' + parts.map(encodeName).join('/');

// The names in an address's hash; a part that is not valid encoding is taken as it is.
export function partsOf(hash) {
  return hash.replace(/^#\/?/, '').split('/').filter(Boolean).map((part) => {
    try { return decodeURIComponent(part); } catch { return part; }
  });
}

// Whether an address's hash ends in a slash after a name: the name is a folder.
export const endsInFolder = (hash) => /[^#/]\/$/.test(hash);

// Follows names from the root: to a folder, or to a file in one; `intoLast`
// says that the last name is a folder (see endsInFolder). A file with names
// after it, or taken as a folder, is an archive inside the archive: opened, it
// is followed like a folder; not yet opened, it is given as `unopened`, with
// its folder. What does not exist is given as `missing`, with the deepest folder
// that does.
export function resolve(root, parts, { intoLast = false } = {}) {
  let folder = root, i = 0;
  for (; i < parts.length; i++) {
    const inside = intoLast || i < parts.length - 1;
    const next = folder.folder(parts[i]) ?? (inside ? folder.innerArchive(parts[i]) : null);
    if (!next) break;
    folder = next;
  }
  if (i === parts.length) return { folder, file: null };
  if (folder.hasFile(parts[i])) {
    if (i === parts.length - 1 && !intoLast) return { folder, file: parts[i] };
    return { folder, file: null, unopened: parts[i] };
  }
  return { folder, file: null, missing: parts.slice(i).join('/') };
}

// The hash of a place: a folder, a file in one, or the root of an archive inside.
export function placeHash({ folder, file }) {
  if (file != null) return hashFor(folder.path().concat(file));
  return hashFor(folder.path()) + (folder.isInnerArchive ? '/' : '');
}

// The steps of the breadcrumbs down to a folder: each folder on the way from
// the root, its hash, and whether it is an archive (the outer one or one inside).
export function trail(folder) {
  const steps = [];
  for (let f = folder; f; f = f.parent) steps.unshift({ folder: f, hash: placeHash({ folder: f, file: null }), archive: f.listing !== null });
  return steps;
}

// The hash of the root of the archive that the file `name` of a folder holds.
export const innerArchiveHash = (folder, name) => hashFor(folder.path().concat(name)) + '/';

// The address of a file entry, kept on the entry once made.
export function itemUrl(entry) {
  if (!entry.url) entry.url = LISTING_URL + '/' + entry.parent.path().concat(entry.name).map(encodeName).join('/');
  return entry.url;
}

// The address of the listing of the archive inside the archive that a file holds.
export const innerListingUrl = (folder, name) => itemUrl({ name, parent: folder }) + '?list';

// The address of an entry (a file or a folder) from the root, as its item's
// address gives it: each name encoded, joined by "/", no leading slash; kept
// on the entry once made.
export function addressOf(entry) {
  if (entry.address == null) entry.address = entry.folder ? folderAddress(entry.folder) : joined(folderAddress(entry.parent), encodeName(entry.name));
  return entry.address;
}

const joined = (head, name) => (head ? head + '/' + name : name);
const folderAddresses = new WeakMap();   // folder -> its address, made once
function folderAddress(folder) {
  // Up to the nearest folder whose address is known, then down, without
  // recursion: folders may nest deeper than the stack goes.
  const unknown = [];
  let f = folder;
  for (; f.parent && !folderAddresses.has(f); f = f.parent) unknown.push(f);
  let address = f.parent ? folderAddresses.get(f) : '';
  for (let i = unknown.length - 1; i >= 0; i--) {
    address = joined(address, encodeName(unknown[i].name));
    folderAddresses.set(unknown[i], address);
  }
  return address;
}

// The address of a folder's own item route: the listing's address for the
// root, else the listing's address followed by the folder's names.
export function folderUrl(folder) {
  const parts = folder.path();
  return parts.length ? LISTING_URL + '/' + parts.map(encodeName).join('/') : LISTING_URL;
}

// Follows the path of an item as the listing shows it (labels, joined by "/")
// from the root, name by name and else label by label: the folder, and the
// file's name in it (null when the path ends in a folder); null when nothing
// there matches.
export function resolveShown(root, shown) {
  let folder = root;
  const parts = shown.split('/').filter(Boolean);
  for (let i = 0; i < parts.length; i++) {
    const part = parts[i];
    const next = folder.folder(part) ?? folder.folders.find((f) => f.label === part);
    if (next) { folder = next; continue; }
    if (i < parts.length - 1) return null;
    if (folder.hasFile(part)) return { folder, file: part };
    const at = folder.labels ? folder.labels.indexOf(part) : -1;
    return at >= 0 ? { folder, file: folder.files[at] } : null;
  }
  return { folder, file: null };
}

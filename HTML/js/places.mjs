// Places: the page's address names a folder, or an item on preview, as "#/" and
// the names down to it, each encoded as a URI component; items are fetched from
// the listing's address followed by their names, encoded the same way.

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

// Follows names from the root: to a folder, or to a file in one. What does not
// exist is given as `missing`, with the deepest folder that does.
export function resolve(root, parts) {
  let folder = root, i = 0;
  for (; i < parts.length; i++) {
    const next = folder.folder(parts[i]);
    if (!next) break;
    folder = next;
  }
  if (i === parts.length) return { folder, file: null };
  if (i === parts.length - 1 && folder.hasFile(parts[i])) return { folder, file: parts[i] };
  return { folder, file: null, missing: parts.slice(i).join('/') };
}

export const placeHash = ({ folder, file }) => hashFor(file == null ? folder.path() : folder.path().concat(file));

// The address of a file entry, kept on the entry once made.
export function itemUrl(entry) {
  if (!entry.url) entry.url = LISTING_URL + '/' + entry.parent.path().concat(entry.name).map(encodeName).join('/');
  return entry.url;
}

// Where a symbolic link leads inside the archive: its target is resolved
// against the link's own folder as the system that made it would ("." and ".."
// step within the archive), and an absolute target, or one that climbs above
// the archive's root, leads outside it.
import { resolve } from './places.mjs';

// The names from the archive's root that `target` leads to from the folder
// named by `folderParts`; null when it leads outside the archive.
export function linkParts(folderParts, target) {
  if (typeof target !== 'string' || target === '' || target.startsWith('/')) return null;
  const parts = folderParts.slice();
  for (const name of target.split('/')) {
    if (name === '' || name === '.') continue;
    if (name === '..') {
      if (!parts.length) return null;
      parts.pop();
    } else {
      parts.push(name);
    }
  }
  return parts;
}

// The place a link in `folder` leads to: { folder, file } of the archive that
// holds the folder (a file, or a folder when `file` is null), or null when
// the target is outside the archive or names nothing in it.
export function linkPlace(folder, target) {
  const root = folder.archiveRoot();
  const parts = linkParts(folder.path().slice(root.path().length), target);
  if (!parts) return null;
  const place = resolve(root, parts);
  return place.missing || place.unopened ? null : place;
}

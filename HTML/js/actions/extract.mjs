// Writing items into a folder on the reader's disk, through the handles of the
// File System Access API (a folder that the reader picks, or any directory
// handle, such as the origin-private one): each item streamed from the server
// into its file, so the page never holds an item whole. A Cancel that comes
// mid-item leaves none of that item behind.
import { itemUrl } from '../model/places.mjs';
import { safeName, uniqueName } from '../model/safenames.mjs';

// Whether this browser lets the reader pick a folder to write into.
export const canPickFolder = () => typeof window !== 'undefined' && typeof window.showDirectoryPicker === 'function';

// The deepest folder that holds every entry (file or folder entries).
export function commonFolder(entries) {
  let common = null;
  for (const entry of entries) {
    const chain = [];
    for (let f = entry.parent; f; f = f.parent) chain.unshift(f);
    if (!common) { common = chain; continue; }
    let n = 0;
    while (n < common.length && n < chain.length && common[n] === chain[n]) n++;
    common = common.slice(0, n);
  }
  return common && common.length ? common[common.length - 1] : null;
}

// What to write for `entries` (files, and folders standing for all they hold),
// with paths from `base`: folders first made, files in the order listed, each
// name made safe and unique in its folder. Steps are { dirs, name } for a
// folder and { dirs, name, url, size, shown } for a file, `dirs` being the safe
// names of the folders down to it; symbolic links are left out (`links` counts them).
export function planExtract(entries, base) {
  const steps = [];
  const taken = new Map();     // key of a folder on disk -> names given in it, lower-cased
  const made = new Map();      // Folder -> its safe path on disk
  let links = 0, bytes = 0, files = 0;
  const nameIn = (dirs, name) => {
    const key = dirs.join('/');
    if (!taken.has(key)) taken.set(key, new Set());
    return uniqueName(safeName(name), taken.get(key));
  };
  // The safe path of a folder below base, making the folders on the way.
  const dirsOf = (folder) => {
    if (folder === base || !folder) return [];
    if (made.has(folder)) return made.get(folder);
    const parent = dirsOf(folder.parent);
    const name = nameIn(parent, folder.label);
    const dirs = parent.concat(name);
    made.set(folder, dirs);
    steps.push({ dirs: parent, name });
    return dirs;
  };
  const addFile = (entry) => {
    if (entry.info?.link === 'symbolic') { links++; return; }
    const dirs = dirsOf(entry.parent);
    const size = entry.size ?? entry.info?.size ?? null;
    steps.push({ dirs, name: nameIn(dirs, entry.label ?? entry.name), url: itemUrl(entry), size, shown: entry.label ?? entry.name });
    files++;
    bytes += size ?? 0;
  };
  for (const entry of entries) {
    if (!entry.folder) { addFile(entry); continue; }
    const work = [entry.folder];
    while (work.length) {
      const folder = work.pop();
      dirsOf(folder);
      const listed = folder.list('name');
      for (const e of listed) if (!e.folder) addFile(e);
      for (let i = listed.length - 1; i >= 0; i--) if (listed[i].folder) work.push(listed[i].folder);
    }
  }
  return { steps, files, bytes, links };
}

// Counts the bytes that pass.
function counter(onBytes) {
  return new TransformStream({ transform(chunk, controller) { onBytes(chunk.byteLength); controller.enqueue(chunk); } });
}

// Writes the planned steps below the directory handle `root`. `request(url,
// { signal })` answers an item's reply (the store's, which sends and asks for
// the password); onProgress({ items, bytes, name }) follows the writing. Ends
// with { items, bytes }, or throws an AbortError when `signal` stops it.
export async function extractTo(root, { steps }, { request, signal, onProgress = () => {} }) {
  const handles = new Map([['', root]]);
  const dirHandle = async (dirs) => {
    const key = dirs.join('/');
    if (!handles.has(key)) handles.set(key, await (await dirHandle(dirs.slice(0, -1))).getDirectoryHandle(dirs[dirs.length - 1], { create: true }));
    return handles.get(key);
  };
  let items = 0, bytes = 0;
  for (const step of steps) {
    signal?.throwIfAborted();
    const dir = await dirHandle(step.dirs);
    if (step.url == null) { await dirHandle(step.dirs.concat(step.name)); continue; }
    onProgress({ items, bytes, name: step.shown });
    const reply = await request(step.url, { signal });
    const file = await dir.getFileHandle(step.name, { create: true });
    const writable = await file.createWritable();
    try {
      if (reply.body) {
        await reply.body.pipeThrough(counter((n) => { bytes += n; onProgress({ items, bytes, name: step.shown }); })).pipeTo(writable, { signal });
      } else {
        await writable.close();
      }
    } catch (error) {
      await writable.abort().catch(() => {});
      await dir.removeEntry(step.name).catch(() => {});
      throw error;
    }
    items++;
    onProgress({ items, bytes, name: step.shown });
  }
  return { items, bytes };
}

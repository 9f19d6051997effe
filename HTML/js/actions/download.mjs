// Downloads are the browser's own download of the item's address, so that the
// page never holds the item, however large it is. The page cannot see when the
// browser's download begins, so its note says what it can know: that the item
// went to the browser, which shows the progress once the first bytes come.
// That download cannot send the password, so an encrypted item is fetched by
// the page with it (see ItemStore.request) and saved from memory instead.
// Folders and selections go as one zip that the server streams: a folder from
// its own address, a selection from the address that the server gives it once
// it has the list (posted with the password, which the server keeps with it).
import { el, toast } from '../views/dom.mjs';
import { count, formatSize } from '../model/format.mjs';
import { frontCode } from '../model/frontcode.mjs';
import { LISTING_URL, addressOf, folderUrl, itemUrl } from '../model/places.mjs';

const BLOB_LIFE_MS = 60000;   // time for the browser to take the saved bytes before they are let go

// An empty `name` leaves the file's name to the server's reply.
function save(href, name) {
  const link = el('a', { href, download: name, hidden: true });
  document.body.append(link);
  link.click();
  link.remove();
}

// Saves a file entry through `store`, which holds the password and knows the
// items that need it.
export async function download(store, entry) {
  const url = itemUrl(entry);
  const name = entry.label ?? entry.name;
  if (!store.isEncrypted(url, entry.info)) {
    save(url, name);
    toast(`“${name}” went to your browser’s downloads. A large item can take a moment to start while Vorsel extracts it.`,
      { key: 'download', ms: 8000 });
    return;
  }
  toast(`Decrypting “${name}” for download…`, { key: 'download', ms: 600000 });
  let blob;
  try {
    blob = await store.fetchBlob(url);
  } catch (error) {
    toast(`“${name}” could not be downloaded. ${error.message}`, { key: 'download', ms: 8000 });
    return;
  }
  const href = URL.createObjectURL(blob);
  save(href, name);
  setTimeout(() => URL.revokeObjectURL(href), BLOB_LIFE_MS);
  toast(`“${name}” went to your browser’s downloads.`, { key: 'download', ms: 8000 });
}

// A folder (the root for the whole archive) as one zip, named by the server.
// A link cannot send the password: once the reader has given one, the
// folder's entries go as a selection instead, whose list carries it.
export function downloadFolderZip(store, folder, label) {
  if (store.password != null) return downloadSelectionZip(store, folder.list('name').map(addressOf));
  save(folderUrl(folder) + '?zip', '');
  toast(`“${label}” goes to your browser’s downloads as a zip, streamed as Vorsel extracts it.`, { key: 'download', ms: 8000 });
  return null;
}

// Sends the selection's addresses to the server and hands its zip to the
// browser's download; says why when the server refuses the list.
export async function downloadSelectionZip(store, addresses) {
  toast(`Preparing a zip of ${count(addresses.length, 'item', 'items')}…`, { key: 'download', ms: 600000 });
  let answer;
  try {
    const reply = await store.fetch(LISTING_URL + '?select', {
      method: 'POST',
      headers: { 'Content-Type': 'text/plain; charset=utf-8', ...store.passwordHeaders() },
      body: frontCode(addresses),
    });
    if (!reply.ok) throw new Error((await reply.text()).trim() || `The server refused the selection (status ${reply.status}).`);
    answer = await reply.json();
  } catch (error) {
    toast(`The selection could not be zipped. ${error.message}`, { key: 'download', ms: 10000 });
    return null;
  }
  save(LISTING_URL + '?zip=' + encodeURIComponent(answer.selection), '');
  toast(`A zip of ${count(answer.items, 'file', 'files')} (${formatSize(answer.bytes)}) went to your browser’s downloads.`, { key: 'download', ms: 8000 });
  return answer;
}

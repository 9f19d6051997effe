// Downloads are the browser's own download of the item's address, so that the
// page never holds the item, however large it is. The page cannot see when the
// browser's download begins, so its note says what it can know: that the item
// went to the browser, which shows the progress once the first bytes come.
// That download cannot send the password, so an encrypted item is fetched by
// the page with it (see ItemStore.request) and saved from memory instead.
import { el, toast } from './dom.mjs';
import { itemUrl } from './places.mjs';

const BLOB_LIFE_MS = 60000;   // time for the browser to take the saved bytes before they are let go

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

// Archives inside the archive: which items to offer to open as archives, and
// opening one: its listing, fetched from the item's address with "?list",
// built and hung below the folder that holds the item (see tree.mjs). The
// server decides what it can open; the names only tell what is worth offering.
import { extensionOf, kindFromName } from '../model/kinds.mjs';
import { FetchFailure } from './items.mjs';
import { innerListingUrl } from '../model/places.mjs';

// Files that are archives under another name: documents, packages and books
// kept in zip files or other containers.
const CONTAINERS = new Set(('docx docm xlsx xlsm pptx odt ods odp odg epub xpi crx vsix whl nupkg ipa aar ear ' +
  'cbz cbr cb7 msi chm').split(' '));

// Whether an item may be an archive to open: its name says so (by its last
// extension: "x.tar.gz" is a gzip that holds a tar), or its first bytes do
// (`sniffed`, the kind that they tell, once known).
export function mayBeArchive(name, sniffed = null) {
  const kind = kindFromName(name) ?? sniffed;
  return kind?.kind === 'archive' || CONTAINERS.has(extensionOf(name));
}

// The failures of opening, said in plain words; a 500 says the server's own
// sentence, which names the cause. An encrypted item opens with the password,
// which the store asks for on a 401 as for any encrypted item.
function failure(error, name) {
  const said = {
    404: `Vorsel cannot open “${name}” as an archive: the 7-Zip library does not know its format, or it is not an archive.`,
    500: error.message || `“${name}” could not be opened: the archive inside is damaged, or it is stored in a way that the 7-Zip library cannot decode.`,
    401: `“${name}” is encrypted, and it cannot be opened without the password.`,
  }[error.status];
  return said ? new FetchFailure(error.status, said) : error;
}

export class InnerArchives {
  constructor(store) {
    this.store = store;           // sends the password, and asks for it, as for items
    this.opening = new Map();     // listing's address -> the opening under way, which every caller awaits
  }

  // The root of the archive that the file `name` of `folder` holds, opened
  // once; or a FetchFailure that says why not. Opening may take a while: the
  // server unpacks an archive inside into a temporary file on first use.
  open(folder, name) {
    const opened = folder.innerArchive(name);
    if (opened) return Promise.resolve(opened);
    const url = innerListingUrl(folder, name);
    if (!this.opening.has(url)) {
      const label = folder.labelOf(name);
      const opening = this.listing(url, label).then((json) => {
        try {
          return folder.innerArchive(name) ?? folder.openInnerArchive(name, json);
        } catch (error) {
          throw new FetchFailure(200, `The listing of “${label}” that the server sent is not usable. ${error.message}`);
        }
      });
      this.opening.set(url, opening);
      opening.finally(() => this.opening.delete(url)).catch(() => {});
    }
    return this.opening.get(url);
  }

  async listing(url, name) {
    let text;
    try {
      text = await (await this.store.request(url)).text();
    } catch (error) {
      throw failure(error, name);
    }
    try {
      return JSON.parse(text);
    } catch {
      throw new FetchFailure(200, `The listing of “${name}” that the server sent is not valid JSON.`);
    }
  }
}

// Picking entries and taking them out: the selection bar, the folder's zip and
// extraction, and the test of the archive on show.
import { testArchive } from '../actions/archivetest.mjs';
import { downloadFolderZip, downloadSelectionZip } from '../actions/download.mjs';
import { canPickFolder, commonFolder } from '../actions/extract.mjs';
import { pickAndExtract } from '../actions/takeout.mjs';
import { count } from '../model/format.mjs';
import { folderUrl, resolveShown } from '../model/places.mjs';
import { SELECTION_LIMIT } from '../model/selection.mjs';
import { $, toast } from '../views/dom.mjs';
import { archiveLabel, folderLabel } from './state.mjs';

export function setUpPicking(ui) {
  const { state, store, selection, contents } = ui;

  // What a click or a key of the contents list asks of the picks; true when
  // 'clear' dropped some.
  function mark(what, index) {
    const source = { length: contents.length, at: (i) => contents.entry(i) };
    if (what === 'clear') {
      if (!selection.size) return false;
      selection.clear();
      return true;
    }
    if (what === 'toggle' && selection.state(contents.entry(index)) === 'within') toast('It is in a folder that is picked already: the folder stands for all it holds.', { key: 'pick' });
    else if (what === 'toggle') selection.toggle(source, index);
    else if (what === 'extend') selection.extend(source, index);
    else if (what === 'all') selection.all(source);
    if (selection.full) toast(`A selection holds at most ${count(SELECTION_LIMIT, 'item', 'items')}; pick folders to take more.`, { key: 'pick', ms: 6000 });
    return false;
  }

  function showSelection() {
    const n = selection.size;
    $('selBar').hidden = n === 0;
    $('listCard').classList.toggle('picking', n > 0);
    $('selCount').textContent = n ? count(n, 'item', 'items') + ' selected' : '';
  }

  // Writes entries into a folder that the reader picks, or, where the browser
  // cannot pick one, offers the zip.
  async function extractEntries(entries, base, label, zip) {
    if (!canPickFolder()) {
      toast('This browser cannot write into a folder on your disk: the items come as a zip instead.', { key: 'download', ms: 8000 });
      zip();
      return;
    }
    await pickAndExtract(entries, base, { store, title: 'Extracting ' + label });
  }

  $('selClear').addEventListener('click', () => selection.clear());
  $('selZip').addEventListener('click', () => downloadSelectionZip(store, selection.addresses()));
  $('selExtract').addEventListener('click', () => {
    const entries = selection.entries();
    extractEntries(entries, commonFolder(entries), count(entries.length, 'picked item', 'picked items'),
      () => downloadSelectionZip(store, selection.addresses()));
  });
  $('folderZip').addEventListener('click', () => { if (state.folder) downloadFolderZip(store, state.folder, folderLabel(state, state.folder)); });
  $('folderExtract').addEventListener('click', () => {
    const folder = state.folder;
    if (folder) extractEntries(folder.list('name'), folder, '“' + folderLabel(state, folder) + '”', () => downloadFolderZip(store, folder, folderLabel(state, folder)));
  });

  // The test of the archive on show; a bad item is revealed in its folder.
  $('testArchive').addEventListener('click', () => {
    const root = (state.folder ?? state.opening?.folder ?? state.listing.root).archiveRoot();
    testArchive({
      url: folderUrl(root) + '?test',
      headers: store.passwordHeaders(),
      title: 'Testing ' + archiveLabel(state, root),
      onReveal(path) {
        const place = resolveShown(root, path);
        if (!place) { toast('Not in the listing: ' + path); return; }
        ui.navigate(place.folder, null, { focusName: place.file ?? undefined });
        state.view.element.focus();
      },
    });
  });

  return { mark, showSelection };
}

// "Extract to a folder…": the folder on show or the selection written into a
// folder that the reader picks, with a task card that follows items, bytes
// and the item being written, and Cancel. Where the browser offers no folder
// picker the zip is offered instead (see download.mjs).
import { toast } from '../views/dom.mjs';
import { count, formatSize } from '../model/format.mjs';
import { extractTo, planExtract } from './extract.mjs';
import { TaskCard } from '../views/tasks.mjs';

// Writes `entries`, with paths from `base`, below the directory handle `root`;
// resolves with { items, bytes } once written, or null when cancelled or failed.
export async function extractWithProgress(root, entries, base, { store, title }) {
  const plan = planExtract(entries, base);
  const controller = new AbortController();
  const card = new TaskCard({ id: 'extractTask', title, stopLabel: 'Cancel', onStop: () => controller.abort() });
  const of = `${count(plan.files, 'file', 'files')} · ${formatSize(plan.bytes)}`;
  let shown = 0;
  const onProgress = ({ items, bytes, name }) => {
    card.progress(plan.bytes ? bytes / plan.bytes : plan.files ? items / plan.files : 1);
    // The line is redrawn at most once a frame.
    if (shown) return;
    shown = requestAnimationFrame(() => { shown = 0; });
    card.say(`${items} of ${of} · ${formatSize(bytes)} so far · ${name}`);
  };
  card.progress(0);
  card.say(`Writing ${of}…`);
  try {
    const done = await extractTo(root, plan, { request: (url, options) => store.request(url, options), signal: controller.signal, onProgress });
    card.progress(1);
    card.end(`${count(done.items, 'file', 'files')} written · ${formatSize(done.bytes)}` +
      (plan.links ? ` · ${count(plan.links, 'symbolic link', 'symbolic links')} left out` : ''));
    return done;
  } catch (error) {
    if (error.name === 'AbortError') card.end('Cancelled: the item being written was removed; the ones before it stay.');
    else card.end('Writing stopped: ' + error.message, { bad: true });
    return null;
  }
}

// Asks the reader for a folder, then writes into it; false when the reader
// declined or the browser cannot.
export async function pickAndExtract(entries, base, options) {
  let root;
  try {
    root = await window.showDirectoryPicker({ mode: 'readwrite', id: 'vorsel-extract' });
  } catch (error) {
    if (error.name !== 'AbortError') toast('No folder could be opened for writing: ' + error.message, { ms: 8000 });
    return false;
  }
  await extractWithProgress(root, entries, base, options);
  return true;
}

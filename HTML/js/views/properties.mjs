// The properties of an item on preview: what the details listing tells of it,
// only what is there, and its SHA-256 worked out by the server on request.
import { el, toast } from './dom.mjs';
import { count, formatDate, formatSize } from '../model/format.mjs';

const sized = (bytes) => (bytes < 1024 ? count(bytes, 'byte', 'bytes') : `${formatSize(bytes)} (${count(bytes, 'byte', 'bytes')})`);

// The rows of the panel, [label, text], for an entry's info (see tree.mjs).
export function propertyRows(info) {
  if (!info) return [];
  const rows = [];
  if (info.size != null) rows.push(['Size', sized(info.size)]);
  if (info.packedSize != null) rows.push(['Packed size', sized(info.packedSize)]);
  // A solid block's items record no size of their own: no ratio for them.
  if (info.size > 0 && info.packedSize > 0) rows.push(['Ratio', (100 * info.packedSize / info.size).toFixed(1) + ' %']);
  for (const [key, label] of [['modified', 'Modified'], ['created', 'Created'], ['accessed', 'Accessed']])
    if (info[key] != null) rows.push([label, formatDate(info[key])]);
  if (info.attributes) rows.push(['Attributes', info.attributes]);
  if (info.method) rows.push(['Method', info.method]);
  if (info.crc) rows.push(['CRC-32', info.crc]);
  rows.push(['Encrypted', info.encrypted ? 'Yes' : 'No']);
  if (info.comment) rows.push(['Comment', info.comment]);
  if (info.link) rows.push([info.link === 'hard' ? 'Hard link to' : 'Link to', info.target ?? 'unknown']);
  return rows;
}

// Fills `box` with the entry's properties and a button that asks for its
// SHA-256 (`url` + "?sha256", through `store`, which sends the password).
// `current()` says whether the entry is still the one on show.
export function showProperties(box, { info, url, store, current }) {
  const list = el('dl', { class: 'props' });
  for (const [label, text] of propertyRows(info)) list.append(el('dt', { text: label }), el('dd', { text }));
  const value = el('code', { class: 'sha', id: 'pvSha' });
  const copy = el('button', { class: 'icon-btn', type: 'button', id: 'pvShaCopy', 'aria-label': 'Copy the SHA-256', title: 'Copy', hidden: true }, 'Copy');
  const work = el('button', { class: 'btn', type: 'button', id: 'pvShaWork' }, 'Compute');
  work.addEventListener('click', async () => {
    work.disabled = true;
    value.textContent = 'Reading the item…';
    try {
      const reply = await store.request(url + '?sha256');
      const answer = await reply.json();
      if (!current()) return;
      if (!/^[0-9a-f]{64}$/.test(answer.sha256)) throw new Error('The server sent no SHA-256.');
      value.textContent = answer.sha256;
      work.hidden = true;
      copy.hidden = false;
    } catch (error) {
      if (!current()) return;
      value.textContent = error.message;
      work.disabled = false;
    }
  });
  copy.addEventListener('click', async () => {
    try { await navigator.clipboard.writeText(value.textContent); toast('SHA-256 copied'); }
    catch { toast('Select the SHA-256 to copy it: ' + value.textContent); }
  });
  list.append(el('dt', { text: 'SHA-256' }), el('dd', { class: 'sha-row' }, value, work, copy));
  box.replaceChildren(el('h3', { text: 'Properties' }), list);
}

// The header and the first load: the archive's name, size and what it holds,
// and the box that waits for the listing, with the figures of a long first read.
import { count, formatSize } from '../model/format.mjs';
import { readingShare, readingText } from '../net/reading.mjs';
import { $, el } from '../views/dom.mjs';

// The header: the archive's file name and size when the listing tells them,
// and what it holds.
export function showArchive({ stats, archive, detailed }) {
  $('archiveName').hidden = !archive;
  $('archiveFile').textContent = archive ? archive.name : '';
  $('archiveSize').textContent = archive?.size != null ? formatSize(archive.size) : '';
  $('archiveName').title = archive ? archive.name + (archive.size != null ? ', ' + count(archive.size, 'byte', 'bytes') : '') : '';
  const parts = [count(stats.folders, 'folder', 'folders'), count(stats.files, 'file', 'files')];
  if (detailed) parts.push(formatSize(stats.bytes) + ' unpacked');
  $('stats').textContent = parts.join(' · ');
}

// The bar and the words of a long first read, in the box that waits for the listing.
export function showReading(box, figures) {
  let bar = box.querySelector('.reading');
  if (!bar) {
    bar = el('div', { class: 'reading' }, el('div', { class: 'progress', role: 'progressbar', 'aria-valuemin': '0', 'aria-valuemax': '100' }, el('i')), el('p', { class: 'reading-text' }));
    box.querySelector('.box').append(bar);
  }
  const share = Math.round(readingShare(figures) * 100);
  bar.firstChild.setAttribute('aria-valuenow', String(share));
  bar.firstChild.firstChild.style.width = share + '%';
  bar.lastChild.textContent = readingText(figures);
}

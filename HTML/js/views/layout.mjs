// The panes: the folder tree's width, which the reader can drag and which is
// kept for the next visit, and on narrow windows the drawer that holds the tree.
import { $ } from './dom.mjs';
import { loadPref, savePref } from './prefs.mjs';

const isOpen = () => document.body.classList.contains('drawer');

function openDrawer() {
  document.body.classList.add('drawer');
  $('menuBtn').setAttribute('aria-expanded', 'true');
  $('tree').focus();
}

export function closeDrawer() {
  if (!isOpen()) return false;
  document.body.classList.remove('drawer');
  $('menuBtn').setAttribute('aria-expanded', 'false');
  return true;
}

function setSideWidth(px) {
  const width = Math.round(Math.max(180, Math.min(640, px, window.innerWidth - 320)));
  document.documentElement.style.setProperty('--side-w', width + 'px');
  $('resizer').setAttribute('aria-valuenow', width);
  savePref('side', width);
}

export function setUpPanes() {
  $('menuBtn').addEventListener('click', openDrawer);
  $('closeDrawer').addEventListener('click', () => { closeDrawer(); $('menuBtn').focus(); });
  $('scrim').addEventListener('click', closeDrawer);
  const resizer = $('resizer');
  setSideWidth(Number(loadPref('side', 288)));
  resizer.addEventListener('pointerdown', (event) => {
    resizer.setPointerCapture(event.pointerId);
    resizer.classList.add('dragging');
    const move = (e) => setSideWidth(e.clientX);
    const stop = () => { resizer.classList.remove('dragging'); resizer.removeEventListener('pointermove', move); };
    resizer.addEventListener('pointermove', move);
    resizer.addEventListener('pointerup', stop, { once: true });
    resizer.addEventListener('pointercancel', stop, { once: true });
  });
  resizer.addEventListener('keydown', (event) => {
    const now = parseFloat(getComputedStyle(document.documentElement).getPropertyValue('--side-w'));
    if (event.key === 'ArrowLeft') { event.preventDefault(); setSideWidth(now - 16); }
    if (event.key === 'ArrowRight') { event.preventDefault(); setSideWidth(now + 16); }
  });
}

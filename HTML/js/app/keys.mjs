// The page-wide keys, for when no dialog or reader has the keyboard: "/" to the
// filter, Backspace up, Alt+F names or contents, Alt+G the grid, Escape the drawer.
import { closeDrawer } from '../views/layout.mjs';

// What a key pressed on the page asks for, or null: `typing` says that the
// focus is in a field, where Backspace and "/" are the field's.
export function pageKey({ key, code, altKey, ctrlKey, metaKey }, typing) {
  const plainAlt = altKey && !ctrlKey && !metaKey;
  if (key === '/' && !typing && !ctrlKey && !metaKey && !altKey) return 'filter';
  if (key === 'Backspace' && !typing) return 'up';
  if (plainAlt && (key.toLowerCase() === 'f' || code === 'KeyF')) return 'searchMode';
  if (plainAlt && (key.toLowerCase() === 'g' || code === 'KeyG')) return 'grid';
  if (key === 'Escape') return 'drawer';
  return null;
}

export function setUpKeys(ui) {
  const { state, preview, reader } = ui;
  document.addEventListener('keydown', (event) => {
    if (event.defaultPrevented || preview.isOpen || reader.isOpen || !state.listing) return;
    const typing = !!(event.target.closest && event.target.closest('input, textarea, select, [contenteditable]'));
    const asked = pageKey(event, typing);
    if (asked === 'drawer') closeDrawer();
    else if (asked) {
      event.preventDefault();
      if (asked === 'filter') ui.focusFilter();
      else if (asked === 'up') ui.goUp();
      else if (asked === 'grid') ui.toggleGrid();
      else {
        ui.setSearchMode(state.found.mode === 'names' ? 'contents' : 'names');
        ui.filterEl.focus();
      }
    }
  });
}

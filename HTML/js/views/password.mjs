// The question for the password of an encrypted item: a small dialog over the
// page (and over the preview). The password typed goes back to the caller and
// nowhere else: not into the address, the page's storage or the console.
import { el } from './dom.mjs';

let parts = null;   // the dialog, made the first time it is needed

function build() {
  const input = el('input', { id: 'passwordInput', type: 'password', autocomplete: 'off', spellcheck: 'false' });
  const note = el('p', { id: 'passwordNote', class: 'pw-note' });
  const ok = el('button', { id: 'passwordOk', class: 'btn primary', type: 'button' }, 'Open');
  const cancel = el('button', { id: 'passwordCancel', class: 'btn', type: 'button' }, 'Cancel');
  const box = el('dialog', { id: 'password', class: 'pw', 'aria-labelledby': 'passwordTitle', 'aria-describedby': 'passwordNote' },
    el('h2', { id: 'passwordTitle', text: 'Password needed' }), note,
    el('label', { for: 'passwordInput', text: 'Password' }), input,
    el('div', { class: 'row-btns' }, cancel, ok));
  // Keys typed here are the password's, not the preview's (arrows, Escape).
  box.addEventListener('keydown', (event) => event.stopPropagation());
  document.body.append(box);
  return { box, input, note, ok, cancel };
}

// Resolves with the password the user typed, or null when they decline.
// `wrong`: the last one given did not open the item.
export function askPassword({ wrong }) {
  parts ||= build();
  const { box, input, note, ok, cancel } = parts;
  note.textContent = wrong
    ? 'That password did not open the item (or the item is damaged). Try another?'
    : 'This item is encrypted. Enter the archive\'s password to open it.';
  input.value = '';
  return new Promise((resolve) => {
    const finish = (value) => {
      ok.removeEventListener('click', accept);
      cancel.removeEventListener('click', decline);
      box.removeEventListener('cancel', decline);
      input.removeEventListener('keydown', enter);
      box.close();
      input.value = '';
      resolve(value);
    };
    const accept = () => finish(input.value);
    const decline = (event) => { event.preventDefault(); finish(null); };
    const enter = (event) => { if (event.key === 'Enter') { event.preventDefault(); accept(); } };
    ok.addEventListener('click', accept);
    cancel.addEventListener('click', decline);
    box.addEventListener('cancel', decline);
    input.addEventListener('keydown', enter);
    box.showModal();
    input.focus();
  });
}

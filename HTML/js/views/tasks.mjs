// Long work that goes on beside the listing (extracting to a folder, testing
// the archive): a card each in a panel at the corner of the window, with a
// progress bar, a line saying where it stands, a Stop button and room for a
// list; the card stays once the work ends, until closed.
import { $, el, icon } from './dom.mjs';

function panel() {
  let box = $('tasks');
  if (!box) {
    box = el('section', { id: 'tasks', class: 'tasks', 'aria-label': 'Work under way' });
    document.body.append(box);
  }
  return box;
}

export class TaskCard {
  constructor({ id, title, stopLabel = 'Stop', onStop }) {
    $(id)?.remove();
    this.bar = el('i');
    this.status = el('span', { class: 'task-status', role: 'status', 'aria-live': 'polite' });
    this.stop = el('button', { class: 'btn', type: 'button', onclick: onStop }, stopLabel);
    const close = el('button', { class: 'icon-btn', type: 'button', 'aria-label': 'Close', title: 'Close', onclick: () => this.element.remove() }, icon('close'));
    this.list = el('ul', { class: 'task-list', hidden: true });
    this.element = el('div', { id, class: 'task' },
      el('div', { class: 'task-head' }, el('h3', { text: title }), this.stop, close),
      el('div', { class: 'progress', role: 'progressbar', 'aria-valuemin': '0', 'aria-valuemax': '100' }, this.bar),
      this.status, this.list);
    panel().append(this.element);
  }

  // The share done, from 0 to 1; null while it is not known.
  progress(fraction) {
    const bar = this.bar.parentElement;
    bar.classList.toggle('indeterminate', fraction == null);
    const percent = fraction == null ? 0 : Math.max(0, Math.min(100, 100 * fraction));
    this.bar.style.width = percent.toFixed(1) + '%';
    bar.setAttribute('aria-valuenow', Math.round(percent));
  }

  say(text) { this.status.textContent = text; }

  // The work has ended: no more Stop.
  end(text, { bad = false } = {}) {
    this.stop.hidden = true;
    this.element.classList.toggle('bad', bad);
    this.say(text);
  }

  addLine(node) {
    this.list.hidden = false;
    this.list.append(el('li', null, node));
  }
}

// Testing the archive: the server decodes every item and streams NDJSON, a
// line for each item that is not sound, progress now and then, and the counts
// at the end; the page shows it in a task card, the bad items listed (a click
// reveals one in the listing), and Stop drops the reply.
import { el } from '../views/dom.mjs';
import { count, formatNumber, formatSize } from '../model/format.mjs';
import { NdjsonRun } from '../net/ndjson.mjs';
import { TaskCard } from '../views/tasks.mjs';

// What each result says, in words.
export const RESULTS = {
  crc: 'CRC does not match',
  data: 'data error',
  unavailable: 'data missing',
  password: 'wrong or no password',
  unsupported: 'method not supported',
  truncated: 'archive ends early',
  changed: 'archive changed on disk',
};

// `url`: the archive's address with "?test"; `onReveal(path)` shows an item
// that the listing shows at `path` (labels joined by "/").
export function testArchive({ url, headers, title, onReveal, fetch }) {
  let bad = 0, ended = false;
  const card = new TaskCard({ id: 'testTask', title, onStop: () => { ended = true; run.stop(); card.end(card.status.textContent + ' · stopped'); } });
  card.progress(null);
  card.say('Starting…');
  const run = new NdjsonRun({
    fetch,
    failed: (status) => `The test could not start (status ${status}).`,
    onMessage(message) {
      if (message.progress) {
        const p = message.progress;
        card.progress(p.of_bytes ? p.bytes / p.of_bytes : p.of_items ? p.items / p.of_items : null);
        card.say(`${count(p.items, 'item', 'items')} of ${formatNumber(p.of_items)}` + (p.of_bytes ? ` · ${formatSize(p.bytes)} of ${formatSize(p.of_bytes)}` : '') +
          (bad ? ` · ${formatNumber(bad)} bad` : ''));
      } else if (message.done) {
        const d = message.done;
        ended = true;
        card.progress(1);
        card.end(`${count(d.items, 'item', 'items')} tested in ${(d.ms / 1000).toFixed(1)} s · ${formatSize(d.bytes)} · ` +
          (d.bad ? `${count(d.bad, 'bad item', 'bad items')}, ${d.ok} sound` : 'no errors'), { bad: d.bad > 0 });
      } else if (typeof message.item === 'string') {
        bad++;
        const link = el('button', { class: 'linkish', type: 'button', onclick: () => onReveal(message.item) }, message.item);
        card.addLine(el('span', { class: 'task-bad' }, link, el('span', { class: 'task-why', text: RESULTS[message.result] ?? message.result })));
      }
    },
    onFail: (error) => { ended = true; card.end(error.message, { bad: true }); },
  });
  run.start(url, headers).then(() => { if (!ended) card.end('The reply ended before the test did: Vorsel may have stopped.', { bad: true }); });
  return run;
}

// The figures of a long first read (a compressed tarball decoded before it can
// be listed), while the listing waits for it: the server sends them at
// "/ArchiveContent?progress" as NDJSON lines until the archive is served.
import { ndjsonLines } from './ndjson.mjs';

export const PROGRESS_URL = '/ArchiveContent?progress';

// The console's words for the same figures: "reading NAME: 120.0 of 700.0 MB,
// 95.0 MB/s, 7 s left"; before a rate can be told it ends after the total.
export function readingText({ name, bytes, of_bytes: total, ms }) {
  const mb = (n) => (n / 1e6).toFixed(1);
  let text = `reading ${name}: ${mb(bytes)} of ${mb(total)} MB`;
  if (!bytes || !(ms > 0)) return text;
  const rate = bytes / (ms / 1000);
  const left = total > bytes ? (total - bytes) / rate : 0;
  return text + `, ${(rate / 1e6).toFixed(1)} MB/s, ${Math.ceil(left)} s left`;
}

// The share read, from 0 to 1.
export function readingShare({ bytes, of_bytes: total }) {
  return total > 0 ? Math.min(1, bytes / total) : 0;
}

// Calls onFigures with each "reading" object until the archive is served (or
// the signal aborts). A server without the figures, or one that fails, ends
// it quietly: the listing's own request tells what went wrong.
export async function followReading(onFigures, { signal, fetch = globalThis.fetch.bind(globalThis) } = {}) {
  try {
    const reply = await fetch(PROGRESS_URL, { signal, cache: 'no-store' });
    if (!reply.ok || !reply.body) return;
    for await (const message of ndjsonLines(reply.body)) {
      if (message.ready) return;
      if (message.reading) onFigures(message.reading);
    }
  } catch {
    // aborted, or the connection went: nothing to show
  }
}

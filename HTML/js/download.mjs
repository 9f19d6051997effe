// Downloads are the browser's own download of the item's address, so that the
// page never holds the item, however large it is. The page cannot see when the
// browser's download begins, so its note says what it can know: that the item
// went to the browser, which shows the progress once the first bytes come.
import { el, toast } from './dom.mjs';

export function download(url, name) {
  const link = el('a', { href: url, download: name, hidden: true });
  document.body.append(link);
  link.click();
  link.remove();
  toast(`“${name}” went to your browser’s downloads. A large item can take a moment to start while Vorsel extracts it.`,
    { key: 'download', ms: 8000 });
}

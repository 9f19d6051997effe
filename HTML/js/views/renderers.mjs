// What each kind of item looks like in the preview: pictures, text, pages,
// PDF documents, sound and video, and the first bytes of anything else. Each
// draws into the preview's body and tool bar through a context that the
// preview makes for the item on show (see preview.mjs); `current()` turns
// false once another item took its place.
import { el, icon } from './dom.mjs';
import { count, formatSize, formatDuration } from '../model/format.mjs';
import { mayBeArchive } from '../net/inner.mjs';
import { KINDS } from '../model/kinds.mjs';
import { decodeText, splitLines, hexDump } from '../model/text.mjs';
import { matchedPieces } from '../net/contentsearch.mjs';
import { VirtualList } from './vlist.mjs';

const TEXT_LIMIT = 2 * 1024 * 1024;   // a text preview shows at most this many bytes
const PLAIN_TEXT_LINES = 4000;         // longer texts are drawn as a virtual list
const HEX_BYTES = 1024;                // bytes in the hex view of an item without preview

export function message({ iconName, bad = false, title, text, buttons = [] }) {
  return el('div', { class: 'pv-msg' },
    el('div', { class: 'big' + (bad ? ' bad' : '') }, icon(iconName)),
    el('h3', { text: title }),
    text ? el('p', { text }) : null,
    buttons.length ? el('div', { class: 'row-btns' }, ...buttons) : null);
}

const centered = (...children) => el('div', { class: 'pv-center' }, ...children);

export function showEmpty(ctx) {
  ctx.body.append(centered(message({
    iconName: 'empty', title: 'Empty', text: 'This item holds 0 bytes. It may be an empty file, or a folder with nothing in it.',
  })));
}

// A failed fetch, said in plain words; a retry where trying again can help.
export function showFailure(ctx, error, retry) {
  const encrypted = error.status === 500 && ctx.entry.info?.encrypted;
  const titles = { 401: 'This item is encrypted', 404: 'Nothing to show', 409: 'The archive changed on disk', 500: 'This item is damaged or cannot be decoded', 0: 'No answer from Vorsel' };
  ctx.setMeta([error.status ? 'Not extracted · status ' + error.status : 'No connection']);
  const again = el('button', { class: 'btn', type: 'button', onclick: retry }, icon('retry'),
    error.status === 401 ? 'Enter the password' : 'Try again');
  // A changed archive is served no more: the page is loaded again to see where things stand.
  const reload = el('button', { class: 'btn', type: 'button', onclick: () => location.reload() }, icon('retry'), 'Reload the page');
  ctx.body.append(centered(el('div', { role: 'alert' }, message({
    iconName: error.status === 404 ? 'empty' : error.status === 500 ? 'broken' : 'alert',
    bad: error.status !== 404,
    title: encrypted ? 'This item is encrypted' : titles[error.status] || 'The item could not be fetched',
    text: encrypted ? 'The archive stores it encrypted, and Vorsel has no password to decrypt it with.' : error.message,
    buttons: error.status === 409 ? [reload] : error.status === 404 || error.status === 500 ? [] : [again],
  }))));
}

export function showImage(ctx, bytes, kind, label) {
  const box = el('div', { class: 'pv-center pv-image' });
  const img = el('img', { alt: ctx.name, src: ctx.blobUrl(bytes, kind.mime), draggable: 'false' });
  img.addEventListener('click', () => box.classList.toggle('actual'));
  box.append(img);
  ctx.body.append(box);
  img.decode().then(() => {
    if (!ctx.current()) return;
    if (img.naturalWidth <= 48 && img.naturalHeight <= 48) box.classList.add('pixel');
    ctx.setMeta([label, formatSize(bytes.length), img.naturalWidth ? `${img.naturalWidth} × ${img.naturalHeight} pixels` : null]);
  }, () => {
    if (!ctx.current()) return;
    ctx.body.textContent = '';
    showNoPreview(ctx, bytes, bytes.length, kind, 'This picture cannot be decoded', 'The browser could not read it as ' + label + '. These are its first bytes.');
  });
}

// Marks the line of a contents search's result: the line, and in it the first
// match of the result's text where the line holds it.
function markLine(row, line, mark) {
  row.classList.add('hit');
  const matched = matchedPieces(mark.text, mark.ranges ?? [])[1];
  const at = matched ? line.indexOf(matched) : -1;
  if (at < 0) return;
  row.lastChild.replaceChildren(line.slice(0, at), el('mark', { text: matched }), line.slice(at + matched.length));
}

// Text with line numbers; `lead` are tools to show before the text's own.
export function showText(ctx, bytes, kind, lead = []) {
  const limited = bytes.length > TEXT_LIMIT;
  const { text, encoding } = decodeText(limited ? bytes.subarray(0, TEXT_LIMIT) : bytes, limited);
  const lines = splitLines(text);
  ctx.setMeta([kind.label, formatSize(bytes.length), count(lines.length, 'line', 'lines') + (limited ? ' shown' : '')]);
  const tools = ctx.tools;
  tools.replaceChildren(...lead);
  if (limited) {
    tools.append(el('span', { class: 'note warn', text: `Showing the first ${formatSize(TEXT_LIMIT)} of ${formatSize(bytes.length)}. Download the file to see all of it.` }));
  } else if (!lead.length) {
    tools.append(el('span', { class: 'note', text: encoding + ' text' }));
  }
  const code = el('div', { class: 'code', role: 'document', 'aria-label': 'Text of ' + ctx.name, tabindex: '0' });
  const gutter = String(lines.length).length + 'ch';
  code.style.setProperty('--gutter', gutter);
  if (lines.length <= PLAIN_TEXT_LINES) {
    const prose = kind.kind === 'text';
    code.classList.add('plain');
    if (prose) code.classList.add('wrap');
    const fragment = document.createDocumentFragment();
    lines.forEach((line, i) => fragment.append(el('div', { class: 'cl' }, el('span', { class: 'cn', text: String(i + 1) }), el('span', { class: 'ct', text: line }))));
    const marked = ctx.mark ? fragment.children[ctx.mark.line - 1] : null;
    if (marked) {
      markLine(marked, lines[ctx.mark.line - 1], ctx.mark);
      requestAnimationFrame(() => marked.scrollIntoView({ block: 'center' }));
    }
    code.append(fragment);
    const wrap = el('button', { type: 'button', 'aria-pressed': prose ? 'true' : 'false' }, 'Wrap lines');
    wrap.addEventListener('click', () => {
      const on = code.classList.toggle('wrap');
      wrap.setAttribute('aria-pressed', on ? 'true' : 'false');
    });
    tools.append(el('div', { class: 'seg' }, wrap));
  } else {
    // Long texts: only the lines in view exist, unwrapped so that every line has
    // the same height.
    code.classList.add('virtual', 'vlist');
    let widest = 0;
    for (const line of lines) if (line.length > widest) widest = line.length;
    const view = new VirtualList(code, {
      rowHeight: () => 20,
      make: () => el('div', { class: 'vrow cl' }, el('span', { class: 'cn' }), el('span', { class: 'ct' })),
      render(row, index) {
        row.firstChild.textContent = String(index + 1);
        row.lastChild.textContent = lines[index];
        row.classList.remove('hit');
        if (ctx.mark && index === ctx.mark.line - 1) markLine(row, lines[index], ctx.mark);
      },
    });
    view.inner.style.width = `calc(${gutter} + 80px + ${widest * 1.1}ch)`;
    requestAnimationFrame(() => {
      view.reset(lines.length);
      if (ctx.mark) view.scrollToIndex(ctx.mark.line - 1);
    });
  }
  tools.hidden = false;
  ctx.body.append(code);
}

// An archived page, as its source or drawn from its own address in a frame
// that runs no script (no allow-scripts), so that its relative links to styles
// and pictures resolve to items beside it in the archive. The frame keeps the
// server's origin (allow-same-origin): without scripts that grants the page
// nothing, and a page of no origin may not load anything from this machine.
export function showHtml(ctx, bytes) {
  const seg = el('div', { class: 'seg', role: 'radiogroup', 'aria-label': 'Show the page as' });
  const sourceButton = el('button', { type: 'button', role: 'radio', 'aria-checked': 'true' }, 'Source');
  const pageButton = el('button', { type: 'button', role: 'radio', 'aria-checked': 'false' }, 'Page');
  seg.append(sourceButton, pageButton);
  const note = el('span', { class: 'note' });
  const choose = (page) => {
    sourceButton.setAttribute('aria-checked', String(!page));
    pageButton.setAttribute('aria-checked', String(page));
    ctx.body.textContent = '';
  };
  sourceButton.addEventListener('click', () => {
    choose(false);
    note.textContent = 'The page is shown as its source text.';
    showText(ctx, bytes, { kind: 'code', label: 'HTML page' }, [seg, note]);
  });
  pageButton.addEventListener('click', () => {
    choose(true);
    ctx.tools.replaceChildren(seg, note);
    note.textContent = 'Drawn with scripts off; the styles and pictures it refers to come from the archive.';
    ctx.body.append(el('iframe', { class: 'pv-frame', sandbox: 'allow-same-origin', referrerpolicy: 'no-referrer', title: 'The page ' + ctx.name + ', without scripts', src: ctx.url }));
  });
  sourceButton.click();
}

// The browser's own PDF viewer, on the item's address, so that it names the
// document by its file name.
export function showPdf(ctx, kind) {
  ctx.setMeta([kind.label, ctx.knownSize() == null ? null : formatSize(ctx.knownSize())]);
  ctx.body.append(el('iframe', { class: 'pv-frame', title: 'The document ' + ctx.name, src: ctx.url }));
}

// An audio or video element that plays from the item's address, fetched in
// ranges as it plays and seeks.
export function showMedia(ctx, kind) {
  const tag = kind.kind;
  const meta = (...more) => ctx.setMeta([kind.label, ctx.knownSize() == null ? null : formatSize(ctx.knownSize()), ...more]);
  meta();
  const media = el(tag, { controls: true, preload: 'metadata', src: ctx.url, class: tag === 'video' ? 'pv-media' : null, 'aria-label': ctx.name });
  // The element does not say why it failed; the item's first bytes tell a failed
  // extraction from a file that this browser cannot play.
  media.addEventListener('error', async () => {
    if (!ctx.current()) return;
    let head;
    try {
      head = await ctx.fetchHead();
    } catch (error) {
      if (ctx.current() && error.name !== 'AbortError') ctx.fail(error);
      return;
    }
    if (!ctx.current()) return;
    ctx.body.textContent = '';
    if (!head.bytes.length) return showEmpty(ctx);
    showNoPreview(ctx, head.bytes, head.size, kind, 'This browser cannot play this file', 'Download it to play it with another program. These are its first bytes.');
  });
  media.addEventListener('loadedmetadata', () => {
    if (!ctx.current() || !isFinite(media.duration)) return;
    meta(formatDuration(media.duration), tag === 'video' && media.videoWidth ? `${media.videoWidth} × ${media.videoHeight}` : null);
  });
  ctx.body.append(centered(tag === 'audio' ? el('div', { class: 'pv-audio' }, el('div', { class: 'disc' }, icon('audio')), media) : media));
}

// A symbolic link: "Link to TARGET", and a button that opens the target when it
// is inside the archive (`place`, or null).
export function showLink(ctx, target, place) {
  ctx.setMeta(['Symbolic link']);
  const buttons = place ? [el('button', { class: 'btn primary', type: 'button', onclick: () => ctx.follow(place) }, icon('link'), 'Open the target')] : [];
  ctx.body.append(centered(message({
    iconName: 'link',
    title: 'Link to ' + target,
    text: place ? null : 'The target is not in the archive.',
    buttons,
  })));
  buttons[0]?.focus();
}

// An archive inside the archive: offered to open in the list, like a folder,
// or to download; it is not fetched here, as it may be large.
export function showArchive(ctx, kind) {
  const size = ctx.knownSize();
  ctx.setMeta([kind.label, size == null ? null : formatSize(size)]);
  const open = el('button', { class: 'btn primary', type: 'button', onclick: ctx.openArchive }, icon('archive'), 'Open as archive');
  const save = el('button', { class: 'btn', type: 'button', onclick: ctx.download }, icon('download'), size == null ? 'Download' : 'Download ' + formatSize(size));
  ctx.body.append(centered(message({
    iconName: 'zip',
    title: 'An archive inside the archive',
    text: 'Open it to browse its folders and files here, as a folder. Vorsel unpacks it when it is first opened, which can take a while for a large one.',
    buttons: [open, save],
  })));
  open.focus();
}

// The item's first bytes in hexadecimal, with a download button; size is the
// whole item's, or null when not known.
export function showNoPreview(ctx, bytes, size, kind, title = 'No preview for this kind of item', text = null) {
  ctx.body.classList.add('nopreview');
  const label = kind && kind.label ? kind.label : 'Binary data';
  const save = el('button', { class: 'btn primary', type: 'button', onclick: ctx.download }, icon('download'), size == null ? 'Download' : 'Download ' + formatSize(size));
  // Documents and packages kept in archives can be opened as ones.
  const open = mayBeArchive(ctx.name, kind) ? el('button', { class: 'btn', type: 'button', onclick: ctx.openArchive }, icon('archive'), 'Open as archive') : null;
  ctx.body.append(centered(message({
    iconName: KINDS[kind?.kind]?.icon || 'binary',
    title,
    text: text || `${label}, ${formatSize(size)}. The first ${formatSize(Math.min(size, HEX_BYTES))} are shown below.`,
    buttons: open ? [save, open] : [save],
  })));
  const dump = hexDump(bytes.subarray(0, HEX_BYTES));
  ctx.body.append(el('div', { class: 'hex', role: 'region', 'aria-label': 'First bytes in hexadecimal', tabindex: '0' },
    el('pre', { class: 'off', text: dump.offsets }), el('pre', { text: dump.hex }), el('pre', { class: 'asc', text: dump.ascii })));
}

// Benchmark of the reader in Chromium: how soon a page is drawn after the key
// that asks for it, in a comic of 200 JPEG pages of about 1.5 MB each, as a
// solid .cb7 and as a .cbz.
//
//   node bench/reader_bench.mjs [FOLDER] [--vorsel PATH] [--pace MS] [--runs N]
//
// Makes (once) the pages in Chromium (noise over gradients, drawn from a fixed
// seed and encoded by the browser's JPEG encoder) and the two archives with
// the 7z tool in FOLDER (default /tmp/vorsel-reader-bench). Then, side by side
// in one run, for each archive: the first page on a freshly started vorsel
// (best of N), from the start of its request to the frame after it is on
// screen, against `7z e -so` of that page (best of N), its bytes alone (the
// request to its last byte, which leaves out decoding it), and from the page's
// navigation (the viewer page and the listing too); and 199 turns with the right
// arrow key, one every PACE ms (default 300, a quick reader), each from the key
// press to the frame after the next page is drawn (requestAnimationFrame, then
// a message that runs after that frame's paint), median, 95th percentile and
// worst, and how many had to wait for their page; and the same turns pressed
// as fast as pages come. It prints a table with the targets; it is not a test.
// Run it from a Release build (build-release/vorsel, made by
// scripts/serving_bench.sh or scripts/build.sh).
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from '../tests/browser/node_modules/playwright-core/index.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const project = path.resolve(here, '..');
const args = process.argv.slice(2);
const option = (name, fallback) => (args.includes(name) ? args[args.indexOf(name) + 1] : fallback);
const folder = args[0] && !args[0].startsWith('--') ? path.resolve(args[0]) : '/tmp/vorsel-reader-bench';
const executable = path.resolve(option('--vorsel', path.join(project, 'build-release', 'vorsel')));
const pace = Number(option('--pace', 300));
const runs = Number(option('--runs', 3));
const PAGES = 200;
const TARGET_BYTES = 1.5 * 1024 * 1024;
const pageName = (n) => `page-${n}.jpg`;   // unpadded: only the natural order reads them right

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update'],
});

/* ---------- The comic ---------- */

// One page as JPEG bytes (base64), drawn in the browser from a seed; `noise`
// sets how much detail, and so how many bytes, the page has.
function drawPage({ number, noise }) {
  let seed = number * 2654435761 >>> 0;
  const random = () => {
    seed = (seed + 0x6d2b79f5) >>> 0;
    let t = seed;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  const width = 1400, height = 2000;
  const canvas = new OffscreenCanvas(width, height);
  const context = canvas.getContext('2d');
  const gradient = context.createLinearGradient(0, 0, width, height);
  gradient.addColorStop(0, `hsl(${(number * 37) % 360} 60% 70%)`);
  gradient.addColorStop(1, `hsl(${(number * 37 + 120) % 360} 50% 30%)`);
  context.fillStyle = gradient;
  context.fillRect(0, 0, width, height);
  for (let i = 0; i < 40; i++) {
    context.fillStyle = `hsl(${random() * 360} 70% ${30 + random() * 40}% / .6)`;
    context.fillRect(random() * width, random() * height, 80 + random() * 500, 80 + random() * 500);
  }
  context.fillStyle = '#111';
  context.font = 'bold 220px sans-serif';
  context.fillText(String(number), 120, 320);
  const pixels = context.getImageData(0, 0, width, height);
  for (let i = 0; i < pixels.data.length; i += 4) {
    const jitter = (random() - 0.5) * noise;
    pixels.data[i] += jitter; pixels.data[i + 1] += jitter; pixels.data[i + 2] += jitter;
  }
  context.putImageData(pixels, 0, 0);
  return canvas.convertToBlob({ type: 'image/jpeg', quality: 0.85 }).then(async (blob) => {
    const bytes = new Uint8Array(await blob.arrayBuffer());
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return btoa(text);
  });
}

// Writes the pages and both archives unless they are there from an earlier run.
async function makeComic() {
  const pages = path.join(folder, 'pages');
  const cbz = path.join(folder, 'comic.cbz'), cb7 = path.join(folder, 'comic.cb7');
  if (fs.existsSync(cbz) && fs.existsSync(cb7)) return { cbz, cb7 };
  fs.mkdirSync(pages, { recursive: true });
  const tab = await browser.newPage();
  // The detail that gives pages of about 1.5 MB, found on page 1 by halving the interval.
  let [low, high] = [0, 200], noise = 60;
  for (let i = 0; i < 7; i++) {
    noise = (low + high) / 2;
    const size = Buffer.from(await tab.evaluate(drawPage, { number: 1, noise }), 'base64').length;
    if (Math.abs(size - TARGET_BYTES) < TARGET_BYTES * 0.03) break;
    if (size < TARGET_BYTES) low = noise; else high = noise;
  }
  let total = 0;
  for (let number = 1; number <= PAGES; number++) {
    const bytes = Buffer.from(await tab.evaluate(drawPage, { number, noise }), 'base64');
    fs.writeFileSync(path.join(pages, pageName(number)), bytes);
    total += bytes.length;
  }
  await tab.close();
  console.log(`made ${PAGES} pages, ${(total / PAGES / 1048576).toFixed(2)} MiB each on average`);
  const names = Array.from({ length: PAGES }, (_, i) => pageName(i + 1));
  for (const [archive, options] of [[cbz, ['-tzip', '-mx=0']], [cb7, ['-t7z', '-ms=on', '-mx=1', '-mmt=2']]]) {
    fs.rmSync(archive + '.part', { force: true });
    execFileSync('7z', ['a', '-bd', ...options, archive + '.part', ...names], { cwd: pages, stdio: 'ignore' });
    fs.renameSync(archive + '.part', archive);
  }
  return { cbz, cb7 };
}

/* ---------- Measuring ---------- */

// Starts vorsel on an archive; resolves with its base URL and the process.
function startVorsel(archive) {
  const child = spawn(executable, [archive], { cwd: project, env: { ...process.env, BROWSER: '/bin/true' }, stdio: ['ignore', 'pipe', 'inherit'] });
  let output = '';
  return new Promise((resolve, reject) => {
    child.stdout.setEncoding('utf8');
    child.stdout.on('data', (chunk) => {
      if (output === null) return;
      output += chunk;
      const match = /server listening @ (http:\/\/127\.0\.0\.1:\d+)\//.exec(output);
      if (match) { output = null; resolve({ base: match[1], child }); }
    });
    child.on('exit', (code) => reject(new Error(`vorsel exited with ${code}`)));
  });
}

function stop(child) {
  child.removeAllListeners('exit');
  child.kill('SIGTERM');
  return new Promise((resolve) => child.once('close', resolve));
}

// In the page: the times from each key press to the frame after the page that
// it asks for is drawn, and the time of the first page drawn, from navigation.
function listen() {
  window.turns = [];
  window.waited = 0;
  window.firstPage = null;
  let pressed = null;
  document.addEventListener('keydown', (event) => { pressed = event.timeStamp; }, true);
  document.addEventListener('vorsel:page-shown', (event) => {
    const from = pressed;
    if (from !== null && event.detail.waited) window.waited++;
    pressed = null;
    requestAnimationFrame(() => {
      const channel = new MessageChannel();
      channel.port1.onmessage = () => {
        const now = performance.now();
        if (from === null) window.firstPage ??= now;
        else window.turns.push(now - from);
      };
      channel.port2.postMessage(null);
    });
  });
}

const seconds = (command, args) => {
  const start = process.hrtime.bigint();
  const result = spawnSync(command, args, { stdio: ['ignore', 'ignore', 'inherit'] });
  if (result.status !== 0) throw new Error(`${command} failed`);
  return Number(process.hrtime.bigint() - start) / 1e6;
};

const percentile = (sorted, p) => sorted[Math.min(sorted.length - 1, Math.ceil(p * sorted.length) - 1)];

// A fresh tab (and profile) on a fresh server: the first page's time, and the
// tab and server for the turns.
async function openComic(archive) {
  const server = await startVorsel(archive);
  const context = await browser.newContext({ viewport: { width: 1360, height: 820 } });
  const tab = await context.newPage();
  await tab.addInitScript(listen);
  await tab.goto(server.base + '/');
  await tab.waitForFunction(() => window.firstPage !== null, null, { timeout: 60000 });
  // From navigation, and from the start of the first page's request.
  const first = await tab.evaluate(() => {
    const request = performance.getEntriesByType('resource').find((e) => /\/ArchiveContent\/page-1\.jpg$/.test(e.name));
    return { page: window.firstPage, item: window.firstPage - request.startTime, bytes: request.responseEnd - request.startTime };
  });
  return { server, context, tab, first };
}

async function turns(tab, count, waitMs) {
  await tab.evaluate(() => { window.turns = []; window.waited = 0; });
  for (let i = 1; i <= count; i++) {
    if (waitMs) await tab.waitForTimeout(waitMs);
    await tab.keyboard.press('ArrowRight');
    await tab.waitForFunction((i) => window.turns.length >= i, i, { timeout: 60000 });
  }
  const { turns: seen, waited } = await tab.evaluate(() => ({ turns: window.turns, waited: window.waited }));
  const times = seen.slice().sort((a, b) => a - b);
  return { median: percentile(times, 0.5), p95: percentile(times, 0.95), worst: times.at(-1), count: times.length, waited };
}

const rows = [];
function row(what, value, target, compare = null) {
  const ok = value <= target;
  rows.push([what, value.toFixed(1) + ' ms', compare, (ok ? 'meets ' : 'MISSES ') + `≤ ${target.toFixed(1)} ms`]);
}

const { cbz, cb7 } = await makeComic();
console.log(`node ${process.argv.slice(1).join(' ')}`);
console.log(new Date().toISOString().replace(/\.\d+Z$/, 'Z'));
console.log(`vorsel: ${executable}; pace of turns: ${pace} ms; ${os.cpus().length} cores`);
for (const archive of [cb7, cbz]) {
  const label = path.basename(archive);
  const tool = Math.min(...Array.from({ length: runs }, () => seconds('7z', ['e', '-so', archive, pageName(1)])));
  const firsts = [];
  for (let run = 0; run < runs; run++) {
    const opened = await openComic(archive);
    firsts.push(opened.first);
    if (run < runs - 1) {
      await opened.context.close();
      await stop(opened.server.child);
      continue;
    }
    const best = Math.min(...firsts.map((f) => f.item));
    const loaded = Math.min(...firsts.map((f) => f.page));
    row(`first page from its request, ${label} (7z e -so: ${tool.toFixed(1)} ms)`, best, 1.2 * tool, `${(best / tool).toFixed(2)}x 7z`);
    const bytes = Math.min(...firsts.map((f) => f.bytes));
    rows.push([`first page's bytes, request to last byte, ${label}`, bytes.toFixed(1) + ' ms', `${(bytes / tool).toFixed(2)}x 7z`, 'no target']);
    rows.push([`first page from navigation (page, listing, page), ${label}`, loaded.toFixed(1) + ' ms', null, 'no target']);
    const paced = await turns(opened.tab, PAGES - 1, pace);
    row(`turn, median of ${paced.count}, ${label}`, paced.median, 50);
    row(`turn, 95th percentile, ${label}`, paced.p95, 100, `worst ${paced.worst.toFixed(1)} ms`);
    rows.push([`turns whose page was not ready yet, ${label}`, `${paced.waited} of ${paced.count}`, null, 'no target']);
    // Back to the start, then as fast as the pages come.
    await opened.tab.keyboard.press('Home');
    await opened.tab.waitForTimeout(1000);
    const rushed = await turns(opened.tab, 60, 0);
    rows.push([`turns pressed at once after each page, ${label}`, `median ${rushed.median.toFixed(1)} ms`,
      `95th ${rushed.p95.toFixed(1)} ms`, `${rushed.waited} of ${rushed.count} not ready; no target`]);
    await opened.context.close();
    await stop(opened.server.child);
  }
}
await browser.close();
const widths = [0, 1, 2, 3].map((i) => Math.max(...rows.map((r) => String(r[i] ?? '').length)));
for (const r of rows) console.log(r.map((cell, i) => String(cell ?? '').padEnd(widths[i])).join('  '));

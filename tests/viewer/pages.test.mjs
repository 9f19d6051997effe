// The reader's page model: spreads with and without a cover, wide pages alone,
// right-to-left order and keys, clicks and swipes, the slider's positions, the
// fit of a spread, the pages to fetch ahead, and which archives open as comics;
// and the prefetcher that fetches those pages, with a fake loader.
import assert from 'node:assert/strict';
import test from 'node:test';
import {
  comicFolder, layOut, onScreen, pageAtPosition, pageLabel, pagesToFetch, sliderPosition, spreadOf, spreads,
  turned, turnOfClick, turnOfKey, turnOfSwipe, zoomed, ZOOM_LIMITS,
} from '../../HTML/js/model/pages.mjs';
import { Prefetcher } from '../../HTML/js/net/prefetch.mjs';

const tall = { width: 300, height: 450 };
const wide = { width: 600, height: 450 };
const sizes = (widePages) => (page) => (widePages.includes(page) ? wide : tall);

test('spreads: alone, two up with and without a cover, wide pages and the pages before them alone', () => {
  const cases = [
    ['alone', 5, { double: false }, [[0], [1], [2], [3], [4]]],
    ['two up, cover', 6, { double: true, cover: true }, [[0], [1, 2], [3, 4], [5]]],
    ['two up, no cover', 6, { double: true, cover: false }, [[0, 1], [2, 3], [4, 5]]],
    ['two up, odd count without a cover', 5, { double: true, cover: false }, [[0, 1], [2, 3], [4]]],
    ['a wide page alone', 8, { double: true, cover: true, sizeOf: sizes([3]) }, [[0], [1, 2], [3], [4, 5], [6, 7]]],
    // The page before a wide one has no partner: the pairing after it starts anew.
    ['the page before a wide one', 8, { double: true, cover: true, sizeOf: sizes([4]) }, [[0], [1, 2], [3], [4], [5, 6], [7]]],
    ['wide pages one after another', 6, { double: true, cover: false, sizeOf: sizes([1, 2]) }, [[0], [1], [2], [3, 4], [5]]],
    ['a wide cover', 4, { double: true, cover: true, sizeOf: sizes([0]) }, [[0], [1, 2], [3]]],
    ['a wide page when alone anyway', 3, { double: false, sizeOf: sizes([1]) }, [[0], [1], [2]]],
    ['one page', 1, { double: true, cover: false }, [[0]]],
    ['no page', 0, { double: true, cover: true }, []],
  ];
  for (const [what, count, options, expected] of cases) {
    const list = spreads(count, options);
    assert.deepEqual(list, expected, what);
    // Every page shows once, in reading order.
    assert.deepEqual(list.flat(), [...Array(count).keys()], what);
  }
  // The cover shifts the pairing by one: the pages that face each other change.
  const withCover = spreads(10, { double: true, cover: true });
  const without = spreads(10, { double: true, cover: false });
  assert.equal(spreadOf(withCover, 4), 2);
  assert.deepEqual(withCover[spreadOf(withCover, 4)], [3, 4]);
  assert.deepEqual(without[spreadOf(without, 4)], [4, 5]);
  assert.equal(spreadOf(without, 99), without.length - 1);
});

test('right to left: a spread reads from the right, the arrows and the thirds of the stage swap', () => {
  assert.deepEqual(onScreen([4, 5], false), [4, 5]);
  assert.deepEqual(onScreen([4, 5], true), [5, 4]);
  assert.deepEqual(onScreen([4], true), [4]);
  const keys = [
    // key, shift, left to right, right to left
    ['ArrowRight', false, 1, -1], ['ArrowLeft', false, -1, 1], ['PageDown', false, 1, 1], ['PageUp', false, -1, -1],
    [' ', false, 1, 1], [' ', true, -1, -1], ['Home', false, -Infinity, -Infinity], ['End', false, Infinity, Infinity],
    ['ArrowDown', false, null, null], ['x', false, null, null],
  ];
  for (const [key, shift, ltr, rtl] of keys) {
    assert.equal(turnOfKey(key, { rtl: false, shift }), ltr, `${key} left to right`);
    assert.equal(turnOfKey(key, { rtl: true, shift }), rtl, `${key} right to left`);
  }
  // A stage 900 pixels wide: thirds end at 300 and 600.
  const clicks = [[0, -1], [299, -1], [300, 0], [599, 0], [600, 1], [899, 1]];
  for (const [x, by] of clicks) {
    assert.equal(turnOfClick(x, 900, false), by, `click at ${x}`);
    assert.equal(turnOfClick(x, 900, true), -by || 0, `click at ${x}, right to left`);
  }
  // A finger drawn to the left brings the next page in left-to-right order;
  // short or mostly upright strokes do not turn.
  assert.equal(turnOfSwipe(-120, 10, false), 1);
  assert.equal(turnOfSwipe(120, 10, false), -1);
  assert.equal(turnOfSwipe(-120, 10, true), -1);
  assert.equal(turnOfSwipe(-30, 0, false), 0);
  assert.equal(turnOfSwipe(-100, 90, false), 0);
  // Turns stay within the spreads.
  const list = spreads(6, { double: true, cover: true });
  assert.deepEqual([turned(list, 0, -1), turned(list, 0, 1), turned(list, 3, 1), turned(list, 2, Infinity), turned(list, 2, -Infinity)], [0, 1, 3, 3, 0]);
});

test('the slider: the first page at the left end, or at the right one right to left, and back from a position', () => {
  const count = 41;
  for (const [page, position] of [[0, 0], [20, 0.5], [40, 1], [10, 0.25]]) {
    assert.equal(sliderPosition(page, count, false), position);
    assert.equal(sliderPosition(page, count, true), 1 - position);
    assert.equal(pageAtPosition(position, count, false), page);
    assert.equal(pageAtPosition(1 - position, count, true), page);
  }
  // Positions between pages go to the nearest; beyond the ends to the ends.
  assert.equal(pageAtPosition(0.26, count, false), 10);
  assert.equal(pageAtPosition(-0.2, count, false), 0);
  assert.equal(pageAtPosition(1.3, count, false), 40);
  assert.equal(pageAtPosition(1.3, count, true), 0);
  assert.equal(sliderPosition(0, 1, false), 0);
  assert.equal(pageAtPosition(0.7, 1, true), 0);
  assert.equal(pageLabel([2], count), 'Page 3 of 41');
  assert.equal(pageLabel([3, 4], count), 'Pages 4–5 of 41');
  assert.equal(pageLabel([], count), '');
});

test('fit and zoom: a spread at one height, fitted to the stage’s width, height or both, or at its own size', () => {
  const box = { width: 1000, height: 600 };
  const cases = [
    // sizes, fit, zoom, whole width and height, each page's width
    [[tall], 'height', 1, 400, 600, [400]],
    [[tall], 'width', 1, 1000, 1500, [1000]],
    [[tall], 'both', 1, 400, 600, [400]],
    [[wide], 'both', 1, 800, 600, [800]],
    [[wide], 'width', 1, 1000, 750, [1000]],
    [[tall], 'original', 1, 300, 450, [300]],
    [[tall], 'original', 2, 600, 900, [600]],
    [[tall, tall], 'both', 1, 800, 600, [400, 400]],
    // Pages of other heights are drawn at the tallest one's height.
    [[{ width: 200, height: 300 }, { width: 300, height: 600 }], 'height', 1, 700, 600, [400, 300]],
    [[tall, null], 'both', 1, 800, 600, [400, 400]],
    [[null], 'height', 1, 400, 600, [400]],
    [[tall], 'both', 1.25, 500, 750, [500]],
  ];
  for (const [pages, fit, zoom, width, height, widths] of cases) {
    const laid = layOut(pages, box, fit, zoom);
    const what = `${JSON.stringify(pages)} ${fit} ×${zoom}`;
    assert.deepEqual([laid.width, laid.height], [width, height], what);
    assert.deepEqual(laid.pages.map((p) => p.width), widths, what);
    assert.ok(laid.pages.every((p) => p.height === height), what);
  }
  assert.equal(zoomed(1, 1), 1.25);
  assert.equal(zoomed(1.25, -1), 1);
  assert.equal(zoomed(7.9, 3), ZOOM_LIMITS[1]);
  assert.equal(zoomed(0.11, -4), ZOOM_LIMITS[0]);
});

test('pages to fetch: the spread on show, three after it and one before it', () => {
  const alone = spreads(10, {});
  assert.deepEqual(pagesToFetch(alone, 0), [0, 1, 2, 3]);
  assert.deepEqual(pagesToFetch(alone, 5), [5, 6, 7, 8, 4]);
  assert.deepEqual(pagesToFetch(alone, 9), [9, 8]);
  const two = spreads(10, { double: true, cover: true });
  assert.deepEqual(pagesToFetch(two, 1), [1, 2, 3, 4, 5, 0]);
  assert.deepEqual(pagesToFetch(two, 5), [9, 8]);
  assert.deepEqual(pagesToFetch(two, 2, { ahead: 1, behind: 2 }), [3, 4, 5, 2, 1]);
  assert.deepEqual(pagesToFetch([], 0), []);
});

test('comics open in the reader: by the archive’s extension, or an archive of pictures alone, one folder deep at most', () => {
  const folder = (files, folders = []) => ({ files, folders });
  const pages = folder(['p1.jpg', 'p2.jpg', 'p10.png']);
  const withInfo = folder(['ComicInfo.xml', 'p1.jpg']);
  const inOne = folder([], [pages]);
  const cases = [
    ['pictures at the root of a .cbz', pages, 'Story.cbz', pages],
    ['a .cbz with its ComicInfo.xml', withInfo, 'Story.CBZ', withInfo],
    ['a .cbr with its pages in one folder', inOne, 'Story.cbr', pages],
    ['a .cb7 beside a folder of extras', folder(['p1.webp'], [folder(['x.txt'])]), 'a.cb7', 'root'],
    ['a .cbt without pictures', folder(['a.txt']), 'a.cbt', null],
    ['a zip of pictures alone', pages, 'photos.zip', pages],
    ['a 7z whose one folder holds pictures alone', inOne, 'photos.7z', pages],
    ['a zip of pictures and a text', withInfo, 'photos.zip', null],
    ['a zip of pictures and a folder', folder(['a.png'], [folder(['b.png'])]), 'photos.zip', null],
    ['a zip two folders deep', folder([], [inOne]), 'photos.zip', null],
    ['a zip with a file beside its folder', folder(['a.txt'], [pages]), 'photos.zip', null],
    ['an empty archive', folder([]), 'empty.zip', null],
    ['no name known', pages, null, pages],
  ];
  for (const [what, root, name, expected] of cases) assert.equal(comicFolder(root, name), expected === 'root' ? root : expected, what);
});

// A loader whose loads finish when the test says: load(url) is pending until
// finish(url) or fail(url); what was asked and stopped is recorded.
function fakeLoader() {
  const pending = new Map();
  const asked = [], stopped = [], released = [];
  const load = (url, signal) => new Promise((resolve, reject) => {
    asked.push(url);
    pending.set(url, { resolve, reject });
    signal.addEventListener('abort', () => { stopped.push(url); reject(new DOMException('stopped', 'AbortError')); });
  });
  const page = (url) => ({ url, width: 3, height: 4, release: () => released.push(url) });
  return {
    load, asked, stopped, released,
    finish: async (url) => { pending.get(url).resolve(page(url)); await new Promise((r) => setTimeout(r, 0)); },
    fail: async (url) => { pending.get(url).reject(new Error('bad')); await new Promise((r) => setTimeout(r, 0)); },
  };
}

test('the prefetcher: loads in the order wanted, a few at a time, stops what falls behind, keeps a few done', async () => {
  const loader = fakeLoader();
  const heard = [];
  const prefetcher = new Prefetcher({ load: loader.load, onLoad: (url) => heard.push(url), parallel: 2, keep: 1 });
  prefetcher.want(['p1', 'p2', 'p3', 'p4', 'p0']);
  assert.deepEqual(loader.asked, ['p1', 'p2']);
  await loader.finish('p1');
  assert.deepEqual(loader.asked, ['p1', 'p2', 'p3']);
  assert.equal(prefetcher.ready('p1').url, 'p1');
  assert.equal(prefetcher.ready('p2'), null);
  // The page on show goes at once, whatever else loads.
  const page9 = prefetcher.get('p9');
  assert.deepEqual(loader.asked, ['p1', 'p2', 'p3', 'p9']);
  await loader.finish('p9');
  assert.equal((await page9).url, 'p9');
  // A second ask for a page on its way does not load it again.
  prefetcher.get('p2');
  assert.equal(loader.asked.filter((u) => u === 'p2').length, 1);
  // The reader moves on: the loads of pages no longer wanted stop; of the
  // loaded ones, the one asked for last is kept, the others let go.
  prefetcher.want(['p5', 'p6', 'p7', 'p8', 'p4']);
  assert.deepEqual(loader.stopped.sort(), ['p2', 'p3']);
  assert.deepEqual(loader.released, ['p1']);
  assert.equal(prefetcher.ready('p9').url, 'p9');
  assert.deepEqual(loader.asked.slice(4), ['p5', 'p6']);
  await loader.finish('p5');
  await loader.finish('p6');
  await loader.finish('p7');
  await loader.fail('p8');
  assert.deepEqual(heard, ['p1', 'p9', 'p5', 'p6', 'p7']);
  // A failed page is asked for again when next wanted; its waiter hears of the failure.
  assert.equal(prefetcher.ready('p8'), null);
  prefetcher.want(['p8']);
  assert.equal(loader.asked.filter((u) => u === 'p8').length, 2);
  const again = prefetcher.get('p8');
  await loader.fail('p8');
  await assert.rejects(again, /bad/);
  // The pages on show first: the others wait until these are in.
  prefetcher.want(['p11', 'p12', 'p13', 'p14'], { first: 2 });
  assert.deepEqual(loader.asked.slice(-2), ['p11', 'p12']);
  await loader.finish('p11');
  assert.deepEqual(loader.asked.slice(-2), ['p11', 'p12']);
  await loader.finish('p12');
  assert.deepEqual(loader.asked.slice(-2), ['p13', 'p14']);
  prefetcher.clear();
  assert.equal(prefetcher.ready('p5'), null);
  assert.ok(loader.released.includes('p5') && loader.released.includes('p9'));
});

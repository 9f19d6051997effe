// The grid's arithmetic: columns and rows, the tiles in view, the size of a
// thumbnail, and which thumbnails load when.
import assert from 'node:assert/strict';
import test from 'node:test';
import { fitWithin, gridColumns, planLoads, rowCount, tilesInView } from '../../HTML/js/model/tiles.mjs';

test('columns and rows: as many tiles as the width takes, with gaps between them and at the edges', () => {
  // Tiles of 100 pixels and gaps of 10: n columns take 10 + 110 n pixels.
  const widths = [[0, 1], [119, 1], [120, 1], [229, 1], [230, 2], [339, 2], [340, 3], [1000, 9]];
  for (const [width, columns] of widths) assert.equal(gridColumns(width, 100, 10), columns, `width ${width}`);
  const rows = [[0, 3, 0], [1, 3, 1], [3, 3, 1], [4, 3, 2], [10000, 6, 1667], [5, 1, 5]];
  for (const [count, columns, expected] of rows) assert.equal(rowCount(count, columns), expected, `${count} in ${columns}`);
});

test('tiles in view: the rows that the scroller shows in part or whole, up to the last tile', () => {
  // 44 tiles in rows of 6 (8 rows, the last of 2), rows 100 pixels high.
  const view = (scrollTop, height, count = 44) => tilesInView({ scrollTop, height, rowHeight: 100, columns: 6, count });
  const cases = [
    [0, 300, { first: 0, last: 18 }],
    [0, 350, { first: 0, last: 24 }],
    [50, 300, { first: 0, last: 24 }],
    [100, 300, { first: 6, last: 24 }],
    [99, 2, { first: 0, last: 12 }],
    [450, 350, { first: 24, last: 44 }],
    [700, 900, { first: 42, last: 44 }],
    [5000, 300, { first: 44, last: 44 }],
    [0, 0, { first: 0, last: 0 }],
  ];
  for (const [scrollTop, height, expected] of cases) assert.deepEqual(view(scrollTop, height), expected, `${scrollTop} + ${height}`);
  assert.deepEqual(view(0, 300, 0), { first: 0, last: 0 });
});

test('a thumbnail keeps the picture’s proportions, fits the box and is never larger than the picture', () => {
  const cases = [
    [320, 200, 160, 160, 100],
    [150, 300, 160, 80, 160],
    [203, 150, 160, 160, 118],
    [160, 160, 160, 160, 160],
    [8, 8, 160, 8, 8],
    [10000, 3, 160, 160, 1],
    [3, 10000, 320, 1, 320],
  ];
  for (const [width, height, box, w, h] of cases) {
    assert.deepEqual(fitWithin(width, height, box), { width: w, height: h }, `${width} x ${height} in ${box}`);
  }
});

test('the loads to start: tiles in view that need one, in order, while fewer than the limit load', () => {
  const all = () => true;
  const plan = (first, last, loading, needs = all, limit = 3) => planLoads({ first, last, loading: new Set(loading), needs, limit });
  // Tiles 0 and 2 need nothing (a folder, a thumbnail made before).
  assert.deepEqual(plan(0, 12, [], (i) => i !== 0 && i !== 2), { start: [1, 3, 4], stop: [] });
  // Loads that run take slots, and are not started twice.
  assert.deepEqual(plan(0, 12, [1, 3]), { start: [0], stop: [] });
  assert.deepEqual(plan(0, 12, [0, 1, 2]), { start: [], stop: [] });
  assert.deepEqual(plan(0, 12, [5], all, 4), { start: [0, 1, 2], stop: [] });
  // Free slots do not start tiles out of view.
  assert.deepEqual(plan(0, 2, []), { start: [0, 1], stop: [] });
  assert.deepEqual(plan(10, 12, [], (i) => i === 11), { start: [11], stop: [] });
  // Loads more than a screenful (here 12 tiles) away from the view stop, and free their slots.
  assert.deepEqual(plan(100, 112, [1, 87, 88, 123, 124]), { start: [100], stop: [1, 87, 124] });
  assert.deepEqual(plan(100, 112, [1, 3, 130]), { start: [100, 101, 102], stop: [1, 3, 130] });
  // Nothing in view: every load stops.
  assert.deepEqual(plan(0, 0, [0, 5]), { start: [], stop: [0, 5] });
  // The loads may be the keys of a Map.
  const loading = new Map([[7, 'a'], [500, 'b']]);
  assert.deepEqual(planLoads({ first: 0, last: 12, loading, needs: all, limit: 3 }), { start: [0, 1], stop: [500] });
});

test('scrolling through a folder: never more than the limit at once, only tiles in view, in order, all of them in time', () => {
  const count = 600, columns = 6, rowHeight = 100, height = 350, limit = 3;
  const isPicture = (i) => i % 7 !== 3;        // every seventh entry is no picture
  const done = new Set(), loading = new Map(), started = [];
  let scrollTop = 0, now = 0, stopped = 0;
  const inView = () => tilesInView({ scrollTop, height, rowHeight, columns, count });
  const needs = (i) => isPicture(i) && !done.has(i);
  const plan = () => {
    const { first, last } = inView();
    const { start, stop } = planLoads({ first, last, loading, needs, limit });
    for (const i of stop) loading.delete(i);
    stopped += stop.length;
    for (const i of start) {
      assert.ok(i >= first && i < last, `tile ${i} started outside ${first}..${last}`);
      loading.set(i, now);
      started.push(i);
    }
    // The tiles started are the first in view that needed one.
    const waiting = [];
    for (let i = first; i < last; i++) if (needs(i) && !loading.has(i)) waiting.push(i);
    if (waiting.length) assert.equal(loading.size, limit, `tiles ${waiting} wait while slots are free`);
    assert.ok(loading.size <= limit);
  };
  // A load ends two ticks after it began; each tick plans once.
  const tick = () => {
    now++;
    for (const [i, began] of loading) if (now - began >= 2) { loading.delete(i); done.add(i); }
    plan();
  };
  const settle = () => {
    for (let ticks = 0; loading.size && ticks < 1000; ticks++) tick();
    const { first, last } = inView();
    for (let i = first; i < last; i++) assert.equal(done.has(i), isPicture(i), `tile ${i} at rest at ${scrollTop}`);
  };
  plan();
  settle();
  // Slowly down, more than half a row a tick: the loads follow in order; tiles
  // that scroll by before their turn are passed over.
  for (let step = 0; step < 30; step++) { scrollTop += 60; tick(); }
  assert.deepEqual(started, [...started].sort((a, b) => a - b));
  assert.ok(started.length < inView().last * 6 / 7, 'no tile was passed over');
  assert.equal(stopped, 0);
  assert.equal(loading.size, limit);
  // A jump to the end stops the loads near the top; the tiles in between never load.
  const lastBefore = inView().last;
  scrollTop = rowCount(count, columns) * rowHeight - height;
  plan();
  assert.equal(stopped, limit);
  settle();
  const { first } = inView();
  assert.ok(started.every((i) => i < lastBefore || i >= first), started.join(' '));
  // Back to the top: nothing there loads again.
  scrollTop = 0;
  const atEnd = started.length;
  plan();
  assert.equal(started.length, atEnd);
});

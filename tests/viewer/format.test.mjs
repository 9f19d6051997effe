// How the viewer writes numbers, sizes, dates and durations.
import assert from 'node:assert/strict';
import test from 'node:test';

// Half an hour off whole hours from UTC, so that a date written in UTC, or a
// zone's hours without its minutes, cannot pass.
process.env.TZ = 'Asia/Kolkata';
const { count, formatDate, formatDuration, formatSize } = await import('../../HTML/js/model/format.mjs');

test('sizes in bytes, then in binary units with at most three digits', () => {
  const cases = [
    [0, '0 bytes'], [1, '1 byte'], [1023, '1,023 bytes'], [1024, '1.0 KiB'], [3000, '2.9 KiB'],
    [10188, '9.9 KiB'], [10189, '10 KiB'], [1047552, '1023 KiB'], [1048064, '1.0 MiB'], [3 * 1024 ** 2, '3.0 MiB'],
    [1023.5 * 1024 ** 2, '1.0 GiB'], [5 * 1024 ** 4, '5.0 TiB'], [2 ** 60, '1024 PiB'],
  ];
  for (const [bytes, text] of cases) assert.equal(formatSize(bytes), text, `${bytes} bytes`);
});

test('counts with their noun', () => {
  assert.equal(count(1, 'file', 'files'), '1 file');
  assert.equal(count(0, 'file', 'files'), '0 files');
  assert.equal(count(201002, 'name', 'names'), '201,002 names');
});

test('dates in the reader’s time zone, durations of play', () => {
  const dates = [
    ['2024-03-01T23:50:00Z', '2024-03-02 05:20'],   // past midnight there
    ['2023-12-31T18:29:59Z', '2023-12-31 23:59'],   // minutes are cut, not rounded
    ['2023-12-31T18:30:00Z', '2024-01-01 00:00'],
    ['1999-07-04T00:05:00Z', '1999-07-04 05:35'],
  ];
  for (const [iso, text] of dates) assert.equal(formatDate(Date.parse(iso)), text, iso);
  const durations = [[0, '0:00'], [8.4, '0:08'], [59.6, '1:00'], [750, '12:30'], [3723, '1:02:03'], [36000, '10:00:00']];
  for (const [seconds, text] of durations) assert.equal(formatDuration(seconds), text, `${seconds} s`);
});

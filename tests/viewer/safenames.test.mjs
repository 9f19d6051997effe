// Names written to disk: whatever an archive names an item, the name stays in
// the chosen folder and is one that Windows takes.
import assert from 'node:assert/strict';
import test from 'node:test';
import { safeName, uniqueName } from '../../HTML/js/model/safenames.mjs';

test('names are made safe to create in a folder', () => {
  const table = [
    ['report.pdf', 'report.pdf'],
    ['..', '_'],
    ['.', '_'],
    ['', '_'],
    ['../../etc/passwd', '.._.._etc_passwd'],
    ['/absolute', '_absolute'],
    ['C:\\Windows\\win.ini', 'C__Windows_win.ini'],
    ['a<b>c:d"e|f?g*h', 'a_b_c_d_e_f_g_h'],
    ['tab\there\nnew\u0000nul\u007f', 'tab_here_new_nul_'],
    ['trailing. . ', 'trailing'],
    ['...', '_'],
    ['  spaced  name', '  spaced  name'],
    ['.hidden', '.hidden'],
    ['CON', '_CON'],
    ['con.txt', '_con.txt'],
    ['Nul.tar.gz', '_Nul.tar.gz'],
    ['COM1', '_COM1'],
    ['lpt9.log', '_lpt9.log'],
    ['COM¹', '_COM¹'],
    ['AUX .txt', '_AUX .txt'],
    ['CONSOLE', 'CONSOLE'],
    ['com10', 'com10'],
    ['xcon', 'xcon'],
    ['日本語.txt', '日本語.txt'],
    ['bad\ud800half', 'bad_half'],
    ['emoji 😀.png', 'emoji 😀.png'],
  ];
  for (const [name, safe] of table) assert.equal(safeName(name), safe, JSON.stringify(name));
  const long = safeName('x'.repeat(300) + '.jpeg');
  assert.equal(long.length, 255);
  assert.ok(long.endsWith('x.jpeg'));
});

test('names that a case-blind file system takes as one get numbers', () => {
  const taken = new Set();
  assert.deepEqual(['a.txt', 'A.TXT', 'a.txt', 'a (2).txt', 'b', 'B', '.cfg', '.CFG'].map((n) => uniqueName(n, taken)),
    ['a.txt', 'A (2).TXT', 'a (3).txt', 'a (2) (2).txt', 'b', 'B (2)', '.cfg', '.CFG (2)']);
});

// The properties panel's rows: only what the listing tells, in words.
import assert from 'node:assert/strict';
import test from 'node:test';
import { formatDate } from '../../HTML/js/model/format.mjs';
import { propertyRows } from '../../HTML/js/views/properties.mjs';

test('the rows hold what is known of an item and nothing else', () => {
  const modified = Date.UTC(2024, 2, 1, 14, 5);
  const table = [
    [null, []],
    [{ size: 0, packedSize: 0, encrypted: false }, [['Size', '0 bytes'], ['Packed size', '0 bytes'], ['Encrypted', 'No']]],
    [{ size: 2048, packedSize: 512, modified, crc: '0A1B2C3D', encrypted: true, method: 'LZMA2:24', attributes: 'RHA', comment: 'note' },
      [['Size', '2.0 KiB (2,048 bytes)'], ['Packed size', '512 bytes'], ['Ratio', '25.0 %'], ['Modified', formatDate(modified)],
        ['Attributes', 'RHA'], ['Method', 'LZMA2:24'], ['CRC-32', '0A1B2C3D'], ['Encrypted', 'Yes'], ['Comment', 'note']]],
    [{ size: 10, packedSize: 0, encrypted: false, created: modified, accessed: modified },
      [['Size', '10 bytes'], ['Packed size', '0 bytes'], ['Created', formatDate(modified)], ['Accessed', formatDate(modified)], ['Encrypted', 'No']],
      'a solid block\'s item records no packed size of its own: no ratio'],
    [{ size: 5, encrypted: false, link: 'symbolic', target: '../x' }, [['Size', '5 bytes'], ['Encrypted', 'No'], ['Link to', '../x']]],
    [{ size: 5, encrypted: false, link: 'hard', target: null }, [['Size', '5 bytes'], ['Encrypted', 'No'], ['Hard link to', 'unknown']]],
  ];
  for (const [info, rows, why] of table) assert.deepEqual(propertyRows(info), rows, why ?? JSON.stringify(info));
});

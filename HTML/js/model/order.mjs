// The orders in which a folder's entries are listed. Entries carry `key` (from
// naturalKey), `ext` (the extension), and, when the listing tells them, `size`
// and `modified` (milliseconds since 1970); null where not known.

// Natural order: digit runs compare by value ("file2" before "file10"), letters
// without regard to case. The key is built once per name so that sorting a folder
// of 100,000 names is plain string comparison: each digit run becomes '0', a
// character that tells its length, and its digits without leading zeros.
export function naturalKey(name) {
  const lower = name.toLowerCase();
  let key = '', from = 0;
  for (let i = 0; i < lower.length; i++) {
    const c = lower.charCodeAt(i);
    if (c < 48 || c > 57) continue;
    let end = i + 1;
    while (end < lower.length && lower.charCodeAt(end) >= 48 && lower.charCodeAt(end) <= 57) end++;
    let digits = i;
    while (digits < end - 1 && lower.charCodeAt(digits) === 48) digits++;
    key += lower.slice(from, i) + '0' + String.fromCharCode(0x100 + Math.min(end - digits, 0xfeff)) + lower.slice(digits, end);
    from = end;
    i = end - 1;
  }
  return (from ? key + lower.slice(from) : lower) + '\0' + name;
}
const byKey = (a, b) => (a.key < b.key ? -1 : a.key > b.key ? 1 : 0);
const byType = (a, b) => (a.ext < b.ext ? -1 : a.ext > b.ext ? 1 : byKey(a, b));

// Largest or newest first; entries that do not tell the field last; ties by name.
const descending = (field) => (a, b) => {
  const x = a[field] ?? null, y = b[field] ?? null;
  if (x === y) return byKey(a, b);
  if (x == null) return 1;
  if (y == null) return -1;
  return y - x || byKey(a, b);
};

export const SORTS = ['name', 'type', 'size', 'date'];
// Orders that only a listing with sizes and dates can give.
export const DETAIL_SORTS = ['size', 'date'];

const files = { name: byKey, type: byType, size: descending('size'), date: descending('modified') };

// The comparison of files, and of folders (which have no type), for an order.
export const fileOrder = (mode) => files[mode];
export const folderOrder = (mode) => (mode === 'type' ? byKey : files[mode]);

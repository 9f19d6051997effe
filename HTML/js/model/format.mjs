// How numbers, sizes, dates and durations read on the page. The page's words are
// English, and so are its numbers.

const numbers = new Intl.NumberFormat('en-US');

export const formatNumber = (n) => numbers.format(n);

// "1 file", "2,048 files".
export const count = (n, one, many) => numbers.format(n) + ' ' + (n === 1 ? one : many);

// Bytes below 1 KiB as they are, larger sizes in binary units with three digits at most.
export function formatSize(bytes) {
  if (bytes < 1024) return count(bytes, 'byte', 'bytes');
  const units = ['KiB', 'MiB', 'GiB', 'TiB', 'PiB'];
  let value = bytes / 1024, unit = 0;
  while (value >= 1023.5 && unit < units.length - 1) { value /= 1024; unit++; }
  return (value < 9.95 ? value.toFixed(1) : Math.round(value).toString()) + ' ' + units[unit];
}

const two = (n) => String(n).padStart(2, '0');

// A moment (milliseconds since 1970) in the reader's own time zone, in the one
// order that every reader can read: "2024-03-01 14:05".
export function formatDate(ms) {
  const d = new Date(ms);
  return `${d.getFullYear()}-${two(d.getMonth() + 1)}-${two(d.getDate())} ${two(d.getHours())}:${two(d.getMinutes())}`;
}

// A length of play: "0:08", "12:30", "1:02:03".
export function formatDuration(seconds) {
  const total = Math.round(seconds);
  const h = Math.floor(total / 3600), m = Math.floor(total / 60) % 60, s = total % 60;
  return h ? `${h}:${two(m)}:${two(s)}` : `${m}:${two(s)}`;
}

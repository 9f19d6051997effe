// Names that the archive's items get on the reader's disk: a name from an
// archive may hold anything, and written as it is it could climb out of the
// chosen folder ("..", a slash), be refused by Windows (characters it forbids,
// a trailing dot or space) or name a device there (CON, NUL, COM1).

// Characters that no file name may hold: Windows' forbidden ones, both
// slashes, control characters, and halves of surrogate pairs that stand alone.
const FORBIDDEN = /[<>:"|?*\\/\u0000-\u001f\u007f]|[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g;
const RESERVED = /^(con|prn|aux|nul|com[0-9¹²³]|lpt[0-9¹²³])$/i;
const MAX_LENGTH = 255;

// One name made safe to create in a folder; never empty, ".", or "..".
export function safeName(name) {
  let safe = String(name).replace(FORBIDDEN, '_').replace(/[. ]+$/, '');
  if (!safe) return '_';
  const stem = safe.split('.')[0].trimEnd();
  if (RESERVED.test(stem)) safe = '_' + safe;
  if (safe.length > MAX_LENGTH) {
    const dot = safe.lastIndexOf('.');
    const ext = dot > 0 && safe.length - dot <= 16 ? safe.slice(dot) : '';
    safe = safe.slice(0, MAX_LENGTH - ext.length).replace(/[\ud800-\udbff]$/, '') + ext;
  }
  return safe;
}

// `name`, or "name (2).ext" and so on, so that no two entries of one folder get
// names that a case-blind file system takes as one; `taken` holds the names
// given so far, lower-cased, and gains this one.
export function uniqueName(name, taken) {
  let chosen = name;
  const dot = name.lastIndexOf('.');
  const [stem, ext] = dot > 0 ? [name.slice(0, dot), name.slice(dot)] : [name, ''];
  for (let n = 2; taken.has(chosen.toLowerCase()); n++) chosen = `${stem} (${n})${ext}`;
  taken.add(chosen.toLowerCase());
  return chosen;
}

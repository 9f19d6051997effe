// Kinds of items: what a name or the first bytes tell about an item. The kind
// decides the preview and the icon; the label is what the page calls it.

// The icon of each kind.
export const KINDS = {
  image: { icon: 'image' }, text: { icon: 'text' }, code: { icon: 'code' }, html: { icon: 'html' },
  pdf: { icon: 'pdf' }, audio: { icon: 'audio' }, video: { icon: 'video' }, archive: { icon: 'zip' },
  binary: { icon: 'binary' },
};

// What the page knows of an extension: its kind, its media type, its label.
const EXTENSIONS = new Map();
function define(kind, mime, label, extensions) {
  for (const ext of extensions.split(' ')) EXTENSIONS.set(ext, { kind, mime, label: label.replace('#', ext.toUpperCase()) });
}
define('image', 'image/png', 'PNG image', 'png');
define('image', 'image/apng', 'PNG image', 'apng');
define('image', 'image/jpeg', 'JPEG image', 'jpg jpeg jpe jfif');
define('image', 'image/gif', 'GIF image', 'gif');
define('image', 'image/webp', 'WebP image', 'webp');
define('image', 'image/avif', 'AVIF image', 'avif');
define('image', 'image/bmp', 'Bitmap image', 'bmp dib');
define('image', 'image/x-icon', 'Icon', 'ico cur');
define('image', 'image/svg+xml', 'SVG image', 'svg');
define('html', 'text/html', 'HTML page', 'html htm xhtml shtml');
define('pdf', 'application/pdf', 'PDF document', 'pdf');
define('audio', 'audio/mpeg', 'MP3 audio', 'mp3');
define('audio', 'audio/wav', 'WAV audio', 'wav');
define('audio', 'audio/ogg', 'Ogg audio', 'ogg oga opus');
define('audio', 'audio/flac', 'FLAC audio', 'flac');
define('audio', 'audio/mp4', 'AAC audio', 'm4a aac');
define('audio', 'audio/webm', 'WebM audio', 'weba');
define('video', 'video/mp4', 'MP4 video', 'mp4 m4v');
define('video', 'video/webm', 'WebM video', 'webm');
define('video', 'video/ogg', 'Ogg video', 'ogv');
define('video', 'video/quicktime', 'QuickTime video', 'mov');
define('video', 'video/x-matroska', 'Matroska video', 'mkv');
define('text', 'text/plain', 'Text', 'txt text');
define('text', 'text/plain', 'Markdown', 'md markdown');
define('text', 'text/plain', 'Log', 'log');
define('text', 'text/plain', '# table', 'csv tsv');
define('text', 'text/plain', '# text', 'rst adoc asciidoc org tex bib srt vtt po nfo diz me 1st');
define('text', 'text/plain', 'Settings', 'ini cfg conf config properties env editorconfig gitignore gitattributes gitmodules npmrc');
define('code', 'text/plain', 'JSON', 'json jsonc json5 jsonl ndjson geojson webmanifest');
define('code', 'text/plain', 'XML', 'xml xsd xsl xslt plist rss atom');
define('code', 'text/plain', 'YAML', 'yaml yml');
define('code', 'text/plain', 'TOML', 'toml');
define('code', 'text/plain', 'C source', 'c');
define('code', 'text/plain', 'C/C++ header', 'h hh hpp hxx inl');
define('code', 'text/plain', 'C++ source', 'cpp cc cxx c++ ipp');
define('code', 'text/plain', 'Python', 'py pyw pyi');
define('code', 'text/plain', 'JavaScript', 'js mjs cjs jsx');
define('code', 'text/plain', 'TypeScript', 'ts tsx mts cts');
define('code', 'text/plain', 'Style sheet', 'css scss sass less styl');
define('code', 'text/plain', 'Shell script', 'sh bash zsh fish ksh csh');
define('code', 'text/plain', 'Batch file', 'bat cmd ps1 psm1');
define('code', 'text/plain', 'Patch', 'diff patch');
define('code', 'text/plain', 'SQL', 'sql');
define('code', 'text/plain', '# source', 'java kt kts scala groovy gradle swift go rs rb pl pm php lua r dart cs fs fsx vb ' +
  'ex exs erl hrl hs clj cljs el lisp scm rkt ml mli nim zig d asm s m mm vue svelte cmake mk make ' +
  'sln csproj vcxproj proto graphql gql tf hcl nix jl f f90 pas dpr cob ada v sv vhd');
define('archive', '', '# archive', 'zip 7z rar tar gz tgz bz2 tbz tbz2 xz txz zst tzst lz tlz lzma z cab arj lzh lha iso wim jar war apk deb rpm dmg cpio xar');
// Disk images and the partitions that they hold (".vhd" stays VHDL source).
define('archive', '', '# disk image', 'img vhdx vdi vmdk qcow qcow2 fat ntfs');
define('binary', '', '# program', 'exe dll so dylib o obj a lib sys msi com elf class pyc wasm');
define('binary', '', '# font', 'ttf otf woff woff2 eot');
define('binary', '', '# data', 'bin dat raw');
define('binary', '', '# document', 'doc docx xls xlsx ppt pptx odt ods odp rtf epub');
define('binary', '', '# database', 'db sqlite sqlite3 mdb');
// Names without a dot that are text by custom.
const TEXT_NAMES = new Set(['readme', 'license', 'licence', 'copying', 'authors', 'changelog', 'changes', 'news',
  'todo', 'makefile', 'dockerfile', 'gemfile', 'rakefile', 'procfile', 'install', 'notice', 'contributors']);

export function extensionOf(name) {
  const dot = name.lastIndexOf('.');
  return dot > 0 && dot < name.length - 1 ? name.slice(dot + 1).toLowerCase() : (dot === 0 ? name.slice(1).toLowerCase() : '');
}

// The kind that a name alone tells; null when the bytes must decide.
export function kindFromName(name) {
  const known = EXTENSIONS.get(extensionOf(name));
  if (known) return known;
  if (TEXT_NAMES.has(name.toLowerCase())) return { kind: 'text', mime: 'text/plain', label: 'Text' };
  return null;
}

// The kind that the first bytes tell, for names whose extension says nothing.
export function kindFromBytes(bytes) {
  const at = (offset, text) => {
    if (bytes.length < offset + text.length) return false;
    for (let i = 0; i < text.length; i++) if (bytes[offset + i] !== text.charCodeAt(i)) return false;
    return true;
  };
  const kind = (k, mime, label) => ({ kind: k, mime, label });
  if (at(0, '\x89PNG\r\n\x1a\n')) return kind('image', 'image/png', 'PNG image');
  if (at(0, '\xff\xd8\xff')) return kind('image', 'image/jpeg', 'JPEG image');
  if (at(0, 'GIF87a') || at(0, 'GIF89a')) return kind('image', 'image/gif', 'GIF image');
  if (at(0, 'RIFF') && at(8, 'WEBP')) return kind('image', 'image/webp', 'WebP image');
  if (at(0, 'BM') && bytes.length > 26 && [12, 40, 52, 56, 108, 124].includes(bytes[14]) && bytes[15] === 0)
    return kind('image', 'image/bmp', 'Bitmap image');
  if (at(0, '\0\0\x01\0') && bytes.length > 22 && bytes[4] > 0) return kind('image', 'image/x-icon', 'Icon');
  if (at(4, 'ftypavif')) return kind('image', 'image/avif', 'AVIF image');
  if (at(0, '%PDF-')) return kind('pdf', 'application/pdf', 'PDF document');
  if (at(0, 'RIFF') && at(8, 'WAVE')) return kind('audio', 'audio/wav', 'WAV audio');
  if (at(0, 'OggS')) return kind('audio', 'audio/ogg', 'Ogg audio');
  if (at(0, 'fLaC')) return kind('audio', 'audio/flac', 'FLAC audio');
  if (at(0, 'ID3')) return kind('audio', 'audio/mpeg', 'MP3 audio');
  if (at(4, 'ftypM4A')) return kind('audio', 'audio/mp4', 'AAC audio');
  if (at(4, 'ftyp')) return kind('video', 'video/mp4', 'MP4 video');
  if (at(0, '\x1a\x45\xdf\xa3')) return kind('video', 'video/webm', 'WebM video');
  if (at(0, 'PK\x03\x04') || at(0, 'PK\x05\x06')) return kind('archive', '', 'ZIP archive');
  if (at(0, '7z\xbc\xaf\x27\x1c')) return kind('archive', '', '7z archive');
  if (at(0, 'Rar!\x1a\x07')) return kind('archive', '', 'RAR archive');
  if (at(0, '\x1f\x8b')) return kind('archive', '', 'Gzip data');
  if (at(0, 'BZh')) return kind('archive', '', 'Bzip2 data');
  if (at(0, '\xfd7zXZ\0')) return kind('archive', '', 'XZ data');
  if (at(0, '\x28\xb5\x2f\xfd')) return kind('archive', '', 'Zstandard data');
  if (at(257, 'ustar')) return kind('archive', '', 'Tar archive');
  if (at(0, 'MSCF')) return kind('archive', '', 'Cabinet archive');
  if (at(0, 'conectix') || at(0, 'vhdxfile') || at(0, 'QFI\xfb') || at(0, 'KDMV') || at(64, '\x7f\x10\xda\xbe'))
    return kind('archive', '', 'Disk image');
  if (at(512, 'EFI PART')) return kind('archive', '', 'Disk (GPT)');
  if (at(3, 'NTFS    ')) return kind('archive', '', 'NTFS volume');
  if (at(510, '\x55\xaa')) return kind('archive', '', 'Disk or volume');
  if (at(0, '\x7fELF')) return kind('binary', '', 'ELF program');
  if (at(0, 'MZ')) return kind('binary', '', 'Windows program');
  if (at(0, 'wOFF') || at(0, 'wOF2')) return kind('binary', '', 'Web font');
  if (at(0, 'SQLite format 3\0')) return kind('binary', '', 'SQLite database');
  if (at(0, '\xff\xfe') || at(0, '\xfe\xff')) return kind('text', 'text/plain', 'Text (UTF-16)');
  const head = bytes.subarray(0, 8192);
  if (head.includes(0)) return kind('binary', '', 'Binary data');
  let text;
  try {
    text = new TextDecoder('utf-8', { fatal: true }).decode(head, { stream: true });
  } catch {
    // Not UTF-8: still text in an older encoding when nearly every byte is a
    // printable character or a line break.
    let printable = 0;
    for (const b of head) if (b >= 0x20 && b !== 0x7f || b === 9 || b === 10 || b === 13) printable++;
    return printable >= head.length * 0.97 ? kind('text', 'text/plain', 'Text') : kind('binary', '', 'Binary data');
  }
  const start = text.trimStart().slice(0, 1024).toLowerCase();
  if (start.startsWith('<svg') || (start.startsWith('<?xml') && start.includes('<svg')))
    return kind('image', 'image/svg+xml', 'SVG image');
  if (start.startsWith('<!doctype html') || start.startsWith('<html')) return kind('html', 'text/html', 'HTML page');
  if (start.startsWith('#!')) return kind('code', 'text/plain', 'Script');
  return kind('text', 'text/plain', 'Text');
}

// Icon, colour class and label of a list entry: a folder, a file whose kind its
// name or its first bytes (`sniffed`, once fetched) tell, or a file of unknown kind.
export function lookOf(entry, sniffed = null) {
  if (entry.folder) return { icon: 'folder', kind: 'folder', label: 'Folder' };
  const known = kindFromName(entry.name) || sniffed;
  if (known) return { icon: KINDS[known.kind].icon, kind: known.kind, label: known.label };
  const ext = extensionOf(entry.label ?? entry.name);
  return { icon: 'doc', kind: 'unknown', label: ext ? ext.toUpperCase() + ' file' : 'File' };
}

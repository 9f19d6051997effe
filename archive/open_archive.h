// Opening the archive with the first format that accepts it, and listing its item
// paths into a content tree.
#pragma once

#include "archive/codecs.h"
#include "browse/content_tree.h"

// Offers the stream to the formats of `codecs` in signature order (only the first
// 2 MiB are searched) and keeps the first handler whose Open accepts it. S_OK with
// `archive` and `formatIndex` set; S_FALSE when no format accepts the file (also
// when it is empty or there are more than 255 formats); else the first hard failure
// (a failed seek or read, a library that refuses to make a handler, a failed Open).
HRESULT OpenArchive(CCodecs& codecs, IInStream* stream, IArchiveOpenCallback* callback,
                    CMyComPtr<IInArchive>& archive, int& formatIndex);

// Opens the archive at `archive_path` (UTF-8, any bytes) with the program's
// registry, keeps it as the program's archive and inserts the path of every item,
// as UTF-8, with its index into `tree`; an item without a path is named after the
// archive file (NameForPathlessItem). A file that cannot be opened prints "Can
// not open input file" and leaves the tree alone. When no format accepts the file,
// prints "Can not get input class object", reads one character from standard
// input and ends the process at once with status 3.
void open_and_list(const char* archive_path, browse::content_tree& tree);

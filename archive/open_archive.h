// Opening an archive stream with the format that accepts it, and reading its
// item paths. These speak the library's own types; archive_file wraps them.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "archive/codecs.h"
#include "archive/item_details.h"
#include "archive/item_names.h"

// Offers the stream to the formats of `codecs` in signature order (only the first
// 2 MiB are searched) and keeps the first handler whose Open accepts it. S_OK with
// `archive` and `formatIndex` set; S_FALSE when no format accepts the file (also
// when it is empty or there are more than 255 formats); else the first hard failure
// (a failed seek or read, a library that refuses to make a handler, a failed Open).
HRESULT OpenArchive(CCodecs& codecs, IInStream* stream, IArchiveOpenCallback* callback,
                    CMyComPtr<IInArchive>& archive, int& formatIndex);

// Creates the handler of format `formatIndex` and lets it open the stream: S_OK
// with `archive` set, S_FALSE when the format does not fit (or its library made
// no handler), else the failure.
HRESULT OpenWithFormat(CCodecs& codecs, int formatIndex, IInStream* stream, IArchiveOpenCallback* callback,
                       CMyComPtr<IInArchive>& archive);

// Receives each item's path (UTF-8 bytes, valid until the call returns) and index.
using item_visitor = std::function<void(std::string_view path, std::uint32_t index)>;

// Calls `visit` for every item in index order with its path (property 3); an item
// without a path is given `pathlessName`. Paths that the library could not
// decode are decoded as item_names.h says (in `namesCodePage`, or 0 for a
// detected one), before they are split into folders; tells how.
archive::names_outcome ListItems(IInArchive* archive, std::string_view pathlessName, std::uint32_t namesCodePage,
                                 const item_visitor& visit);

// What the archive records of every item, by index.
std::vector<archive::item_details> ReadItemDetails(IInArchive* archive);

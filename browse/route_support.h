// What several routes need alike: the guard of request paths, entity tags and
// the answer to a client that holds the current version, the password header,
// and the reply of a JSON listing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "browse/item_source.h"
#include "browse/served_listing.h"
#include "http/header.h"
#include "http/reply.h"
#include "http/request.h"
#include "platform/file_identity.h"

namespace browse {

// The head of a streamed NDJSON reply (a search's results, a test's, the
// figures of a long read): never cached, never sniffed.
http::reply ndjson_head();

// An absolute path without NUL bytes and without a ".." component ('/' and '\'
// both separate components, as they do in the tree); names like "a..b" are fine.
bool path_is_acceptable(const std::string& path);

// The extension after the last '.' of the path's last '/'-segment, or empty.
std::string extension_of(const std::string& path);

// Lower-case hexadecimal digits of `value`, for tags.
std::string hex(std::uint64_t value);

// `tag` as an entity tag: in double quotes.
std::string quoted(const std::string& tag);

// The tag of an archive file: its device, inode, size and modification time.
std::string archive_tag(const platform::file_identity& identity);

// Answers 304 when the client holds this version already.
bool answer_not_modified(const http::request& req, const std::string& etag, http::reply& rep);

// The password of a request for encrypted items: percent-encoded UTF-8 in a
// header of its own, never in the address, so that no log or history keeps it.
// False when it is malformed or given twice.
bool password_of(const std::vector<http::header>& headers, item_password& password);

// The path under the archive's root that `components` name ("docs/a.txt"
// for {"ArchiveContent", "docs", "a.txt"}), for messages.
std::string item_path_of(const std::vector<std::string>& components);

// Whether the query string has a parameter named `name` ("?test", "?sha256").
bool query_asks(std::string_view query, std::string_view name);

// The reply of a JSON listing, plain or compressed, revalidated by `etag`.
http::reply listing_reply(const served_bytes& listing, const std::string& etag, bool compressed);

}  // namespace browse

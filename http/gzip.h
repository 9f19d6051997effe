// Compressing a body once for the clients that accept gzip.
#pragma once

#include <string>
#include <string_view>

namespace http {

// `bytes` as a gzip stream (RFC 1952). Raises std::bad_alloc when memory is short.
std::string gzip_compress(std::string_view bytes);

}  // namespace http
